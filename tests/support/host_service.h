// A host service as a plug-in sees it: fetched by name through the resolver
// and called through its function type.
#pragma once

#include <rb/host.h>

#include <gtest/gtest.h>

template <class F> F *service(const char *name) {
    void *fn = rb::resolve(name);
    EXPECT_NE(fn, nullptr) << name;
    return reinterpret_cast<F *>(fn);
}
