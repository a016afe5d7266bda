// The outside classes' binding texts, as the application binds them: the
// framework's control plug-ins and EncodeBase64, the application extension,
// the geometry classes and the grabber classes, each group in binding order.
#pragma once

#include "binding/entrypoints.h"

#include <string>
#include <vector>

inline std::vector<std::string> outsideTexts() {
    using namespace tavrin::detail;
    std::vector<std::string> all;
    auto add = [&](const auto &texts) {
        for (std::string_view text : texts) all.emplace_back(text);
    };
    add(inBindingOrder(kControlsTexts));
    add(inBindingOrder(kAppExtensionTexts));
    add(inBindingOrder(kGeometryTexts));
    add(inBindingOrder(kGrabberTexts));
    return all;
}
