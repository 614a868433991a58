// The maker's copyright notice, shared by the About box, the string table
// and the version information.
#pragma once
#define ZENTROW_COPYRIGHT "Copyright (c) 2003 Brackenwold. Released under the MIT License."
// The version information's shorter notice; at this length the version
// resource is the 912 bytes its layout is meant to take.
#define ZENTROW_LEGAL_COPYRIGHT "(c) 2003 by Brackenwold"
