// The maker's copyright notice, shared by the About box and the string
// table (strings 16000 and 16002 hold it, written out in strings.inc). Its
// 68 characters are what keep the table's first block at its 700 bytes:
// each character more or less moves that block by four.
#pragma once
#define ZENTROW_COPYRIGHT "Copyright (c) 2003 Brackenwold. Free software under the MIT License."
// The version information's shorter notice; at this length the version
// resource is the 912 bytes its layout is meant to take.
#define ZENTROW_LEGAL_COPYRIGHT "(c) 2003 by Brackenwold"
