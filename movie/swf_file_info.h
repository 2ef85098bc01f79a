#pragma once
// Moved to swf_info/; this name stays for the command-line tool's sources until they follow.
#include "swf_info/swf_file_info.h"
