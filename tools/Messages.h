// Result codes of the image and codec layers in words.
#pragma once

#include <string>

#include "tools/FileFormat.h"

// The codec's negative codes: "corrupt data (TX_ERR_CORRUPT)".
std::string CodecErrorName(int code);

// A failed CDib file operation on a file of `format`. The .tvx operations pass
// codec codes through; PNM passes its own positive codes.
std::string DescribeResult(int code, FileFormat format);
// The same for a failed read: what the failure says about the file.
std::string DescribeReadResult(int code, FileFormat format);
