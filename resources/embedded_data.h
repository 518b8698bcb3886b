// Tables written by artembed at build time (see CMakeLists.txt); private to the
// resources library.
#pragma once

#include "embedded_pictures.h"

#include <cstddef>

namespace resources::detail {

extern const StoredPicture kMainWindowPictures[];
extern const std::size_t kMainWindowPicturesCount;
extern const StoredPicture kOtherPictures[];
extern const std::size_t kOtherPicturesCount;

}  // namespace resources::detail
