// Host services of the grabber plug-in, fetched by name through the resolver
// on first use and kept. A missing service yields 0 (or does nothing), and
// the caller returns 0 or nil.
#pragma once

#include <rb/plugin.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace grab {

// A new resolver (REALPluginMain) makes every service be fetched anew.
void setResolver(REALResolver resolver);

void announceVersion();  // "RegisterPluginVersion" 9
void registerClass(REALclassDefinition *def);
void registerClassExtension(REALclassDefinition *def);
void registerMethod(REALmethodDefinition *def);

// Strings. newString returns a string retained for the caller, or 0.
REALstring newString(const std::string &bytes);
// The bytes of a host string; false when there is no string or the host
// cannot say.
bool stringBytes(REALstring s, std::string *out);

// Objects.
REALobject newInstance(const char *className);  // retained for the caller
void lockObject(REALobject o);
void unlockObject(REALobject o);
// Whether `o` is of the named class: 1 yes, 0 no, -1 the host cannot tell.
int objectIsA(REALobject o, const char *className);
// The function of a method of the object's class by declaration, or 0.
void *loadObjectMethod(REALobject o, const char *declaration);

// The host runtime's clock in microseconds ("RuntimeMicroseconds"), callable
// from any thread, or nullptr when the host has none.
int64_t (*hostMicroseconds())();

// A new host picture taking over a picture handle (the handle is disposed
// when the host cannot take it).
REALpicture pictureFromPicHandle(void *picHandle);
// A folder item for a path, or 0.
REALfolderItem folderItemFromPath(const std::string &path);
// Paints 0x00RRGGBB pixels, row by row, into the video surface of the host
// window behind `window` at (left, top); false when there is no such window.
bool paintWindow(REALobject window, int left, int top, int width, int height, const uint32_t *pixels);

}  // namespace grab
