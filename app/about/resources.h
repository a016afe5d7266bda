// The application's picture resources: small pictures of our own, binary
// PPM, in the application's resource folder ($TAVRIN_RESOURCES, else
// share/tavrin beside the program's folder, as the grabber's
// BundleResourceFolderPlyx finds it).
#pragma once

#include <rb/ui.h>

#include <memory>
#include <string>

namespace tavrin {

// The picture resource `name` ("banner", "Vorl"), read on first use and kept
// for the rest of the run; nullptr when it is missing or not a picture.
std::shared_ptr<const rb::Image> pictureResource(const std::string &name);

// A binary PPM (P6, 8 bits a sample) as pixels; nullptr for anything else.
std::shared_ptr<const rb::Image> decodePPM(const std::string &bytes);

}  // namespace tavrin
