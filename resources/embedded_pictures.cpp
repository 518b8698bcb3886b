#include "embedded_pictures.h"

#include "embedded_data.h"

namespace resources {

std::span<const StoredPicture> MainWindowPictures() {
  return {detail::kMainWindowPictures, detail::kMainWindowPicturesCount};
}

std::span<const std::uint8_t> FindPicture(std::string_view name) {
  for (const StoredPicture& p : MainWindowPictures())
    if (p.Name == name) return p.Data;
  for (std::size_t i = 0; i < detail::kOtherPicturesCount; ++i)
    if (detail::kOtherPictures[i].Name == name) return detail::kOtherPictures[i].Data;
  return {};
}

}  // namespace resources
