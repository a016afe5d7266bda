// Window and control properties by name.
#include <rb/ui.h>

#include <cstdlib>
#include <strings.h>

namespace rb {

namespace {

bool is(const std::string &a, const char *b) { return ::strcasecmp(a.c_str(), b) == 0; }

std::optional<int32_t> asInt(const PropValue &v) {
    if (auto i = std::get_if<int32_t>(&v)) return *i;
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    const std::string &s = std::get<std::string>(v);
    if (s.empty()) return std::nullopt;
    char *end = nullptr;
    long n = std::strtol(s.c_str(), &end, 10);
    if (*end || n < INT32_MIN || n > INT32_MAX) return std::nullopt;
    return int32_t(n);
}

std::optional<bool> asBool(const PropValue &v) {
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto i = std::get_if<int32_t>(&v)) return *i != 0;
    return std::nullopt;
}

std::optional<std::string> asText(const PropValue &v) {
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto i = std::get_if<int32_t>(&v)) return std::to_string(*i);
    return std::nullopt;
}

}  // namespace

const char *propertyType(const std::string &n) {
    for (const char *i : {"Left", "Top", "Width", "Height", "Value", "Minimum", "Maximum", "ListIndex"})
        if (is(n, i)) return "integer";
    for (const char *b : {"Visible", "Enabled"})
        if (is(n, b)) return "Boolean";
    for (const char *s : {"Title", "Text", "Caption"})
        if (is(n, s)) return "String";
    return nullptr;
}

std::optional<PropValue> getProperty(const Window &w, const std::string &n) {
    if (is(n, "Left")) return int32_t(w.left());
    if (is(n, "Top")) return int32_t(w.top());
    if (is(n, "Width")) return int32_t(w.width());
    if (is(n, "Height")) return int32_t(w.height());
    if (is(n, "Visible")) return w.visible();
    if (is(n, "Title")) return w.title();
    return std::nullopt;
}

bool setProperty(Window &w, const std::string &n, const PropValue &v) {
    if (is(n, "Title")) {
        auto t = asText(v);
        if (t) w.setTitle(*t);
        return bool(t);
    }
    if (is(n, "Visible")) {
        auto b = asBool(v);
        if (b) w.setVisible(*b);
        return bool(b);
    }
    auto i = asInt(v);
    if (!i) return false;
    if (is(n, "Left")) w.setLeft(*i);
    else if (is(n, "Top")) w.setTop(*i);
    else if (is(n, "Width")) w.setWidth(*i);
    else if (is(n, "Height")) w.setHeight(*i);
    else return false;
    return true;
}

std::optional<PropValue> getProperty(const Control &c, const std::string &n) {
    Rect b = c.bounds();
    if (is(n, "Left")) return int32_t(b.left);
    if (is(n, "Top")) return int32_t(b.top);
    if (is(n, "Width")) return int32_t(b.width);
    if (is(n, "Height")) return int32_t(b.height);
    if (is(n, "Visible")) return c.visible();
    if (is(n, "Enabled")) return c.enabled();
    if (is(n, "Text") || is(n, "Caption")) return c.text();
    if (is(n, "Value")) {
        if (c.kind() == ControlKind::RadioButton) return c.value() != 0;
        return int32_t(c.value());
    }
    if (is(n, "Minimum")) return int32_t(c.minimum());
    if (is(n, "Maximum")) return int32_t(c.maximum());
    if (is(n, "ListIndex")) return int32_t(c.listIndex());
    return std::nullopt;
}

bool setProperty(Control &c, const std::string &n, const PropValue &v) {
    if (is(n, "Text") || is(n, "Caption")) {
        auto t = asText(v);
        if (t) c.setText(*t);
        return bool(t);
    }
    if (is(n, "Visible") || is(n, "Enabled")) {
        auto b = asBool(v);
        if (!b) return false;
        is(n, "Visible") ? c.setVisible(*b) : c.setEnabled(*b);
        return true;
    }
    auto i = asInt(v);
    if (!i) return false;
    Rect b = c.bounds();
    if (is(n, "Left")) b.left = *i;
    else if (is(n, "Top")) b.top = *i;
    else if (is(n, "Width")) b.width = *i;
    else if (is(n, "Height")) b.height = *i;
    else if (is(n, "Value")) return c.setValue(*i), true;
    else if (is(n, "Minimum")) return c.setMinimum(*i), true;
    else if (is(n, "Maximum")) return c.setMaximum(*i), true;
    else if (is(n, "ListIndex")) return c.setListIndex(*i), true;
    else return false;
    c.setBounds(b);
    return true;
}

}  // namespace rb
