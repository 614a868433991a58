// The maker's copyright notice, shared by the About box, the string table
// and the version information.
#pragma once
#define ZENTROW_COPYRIGHT "Copyright (c) 2003 Brackenwold. All rights reserved in each country."
