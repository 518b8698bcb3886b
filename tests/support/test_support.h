// The test-support library in one include: temporary folders, whole files, MD5 sums
// and manifests, the corpus's place, random bytes.
#pragma once

#include "checksums.h"
#include "corpus.h"
#include "files.h"
#include "random_data.h"
#include "temp_folder.h"
