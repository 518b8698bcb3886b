#include "run_messages.h"

std::string MissingArchiveText() { return "Can't find file to extract.\rProcess stopped..."; }

std::string MissingFolderText() { return "Can't find directory to extract.\rProcess stopped..."; }

std::string MissingVolumeText(const std::string& volumePath) {
  return "Can't find file " + volumePath + ".\rProcess stopped...";
}
