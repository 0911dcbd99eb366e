#pragma once

#include "package/PackageFile.h"
#include "package/PayloadLocation.h"

// Whether the payload's body, read in full from the file, has the SHA-256
// digest its header records. Reads in bounded pieces; false as well when the
// system cannot compute the digest.
bool BodyMatchesDigest(const PackageFile& file, const PayloadLocation& payload);
