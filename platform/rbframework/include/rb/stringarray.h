// The host's array of strings (framework class "StringArray"), as the
// string services "StringSplit" and "StringJoin" make and read it.
#pragma once

#include <rb/object.h>

#include <string>
#include <vector>

namespace rb {

ClassInfo *stringArrayClass();
ObjRef newStringArray(const std::vector<String> &items);
// The items of a string array; nullptr for nil or another class.
std::vector<String> *stringArrayItems(REALobject array);

}  // namespace rb
