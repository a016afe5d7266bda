// The live objects of one plug-in class, newest first: each instance data
// record links to the one made just before it (`older`) and just after it
// (`newer`); the list's ends are kept by the caller.
#pragma once

namespace avc {

// Puts `d` at the newest end.
template <class T> void pushNewest(T *d, T *&newest, T *&oldest) {
    d->newer = nullptr;
    d->older = newest;
    if (newest) newest->newer = d;
    newest = d;
    if (!oldest) oldest = d;
}

// Takes `d` out of the list; a record that is not in it leaves the ends alone.
template <class T> void unlinkRecord(T *d, T *&newest, T *&oldest) {
    if (d->newer) d->newer->older = d->older;
    else if (newest == d) newest = d->older;
    if (d->older) d->older->newer = d->newer;
    else if (oldest == d) oldest = d->newer;
    d->newer = d->older = nullptr;
}

}  // namespace avc
