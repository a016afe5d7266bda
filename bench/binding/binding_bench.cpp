// Binding 404 declaration texts into the entry-point table, and calling a
// member through the table (rb::call: reference held, pending exception
// checked) against a plain call through the table and a direct call.
#include <rb/entrypoints.h>
#include <rb/host.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

__attribute__((noinline)) int32_t step(REALobject, int32_t x, REALstring) { return x + 1; }
int32_t getter(REALobject, intptr_t) { return 7; }
void setter(REALobject, intptr_t, int32_t) {}
int32_t globalFn(int32_t x) { return x; }

// Synthetic classes shaped like the deck and graphics classes: methods with
// parameters, function-backed properties, constructor and destructor.
struct Synthetic {
    std::vector<std::string> texts;  // storage for declarations
    std::vector<REALmethodDefinition> methods;
    std::vector<REALpropertyDefinition> props;
    REALclassDefinition def{};
};

void ctor(REALobject) {}
void dtor(REALobject) {}

std::vector<std::string> registerClasses(std::vector<Synthetic> &classes) {
    auto reg = reinterpret_cast<void (*)(REALclassDefinition *)>(rb::resolve("PluginRegisterClass"));
    auto regGlobal = reinterpret_cast<void (*)(REALmethodDefinition *)>(rb::resolve("PluginRegisterMethod"));
    std::vector<std::string> bindTexts{"_"};
    static std::vector<REALmethodDefinition> globals(3);
    static const char *globalDecls[] = {"EncodeBase64(data As String, lineWrap As Integer = 76) As String",
                                        "DecodeBase64(data As String) As String", "Checksum(x as integer) as integer"};
    for (int g = 0; g < 3; ++g) {
        globals[size_t(g)] = {reinterpret_cast<void *>(globalFn), nullptr, globalDecls[g], 0};
        regGlobal(&globals[size_t(g)]);
        bindTexts.push_back(globalDecls[g]);
    }
    const int perClass[] = {47, 7, 6, 14, 10, 79, 55, 6, 8, 124, 25, 19};  // 400 members
    classes.resize(sizeof perClass / sizeof *perClass);
    for (size_t c = 0; c < classes.size(); ++c) {
        Synthetic &s = classes[c];
        std::string name = "BenchClass" + std::to_string(c) + "Plyx";
        s.texts.push_back(name);
        int n = perClass[c] - 2;  // __init, __exit
        int nProps = n / 5, nMethods = n - 2 * nProps;
        s.texts.reserve(size_t(nMethods + nProps + 1));
        for (int m = 0; m < nMethods; ++m)
            s.texts.push_back("Operation" + std::to_string(m) + "(speed as integer, label as String) as integer");
        for (int p = 0; p < nProps; ++p) s.texts.push_back("Setting" + std::to_string(p));
        for (int m = 0; m < nMethods; ++m)
            s.methods.push_back({reinterpret_cast<void *>(step), nullptr, s.texts[size_t(1 + m)].c_str(), 0});
        for (int p = 0; p < nProps; ++p)
            s.props.push_back({nullptr, s.texts[size_t(1 + nMethods + p)].c_str(), "integer", 0,
                               reinterpret_cast<void *>(getter), reinterpret_cast<void *>(setter), 0, nullptr, nullptr,
                               0});
        s.def = {kCurrentREALControlVersion,
                 s.texts[0].c_str(),
                 nullptr,
                 16,
                 0,
                 ctor,
                 dtor,
                 s.props.data(),
                 uint32_t(nProps),
                 s.methods.data(),
                 uint32_t(nMethods),
                 nullptr,
                 0,
                 {}};
        reg(&s.def);
        bindTexts.push_back(name + ".__init");
        bindTexts.push_back(name + ".__exit");
        for (int m = 0; m < nMethods; ++m) bindTexts.push_back(name + "." + s.texts[size_t(1 + m)]);
        for (int p = 0; p < nProps; ++p) {
            bindTexts.push_back(name + "." + s.texts[size_t(1 + nMethods + p)] + ".Get");
            bindTexts.push_back(name + "." + s.texts[size_t(1 + nMethods + p)] + ".Set");
        }
    }
    return bindTexts;
}

double nsPer(Clock::duration d, double n) { return std::chrono::duration<double, std::nano>(d).count() / n; }

}  // namespace

int main() {
    std::vector<Synthetic> classes;
    std::vector<std::string> texts = registerClasses(classes);
    std::printf("declaration texts: %zu\n", texts.size());

    // Binding: allocate the table and look up every text, as at start-up.
    const int bindRounds = 200;
    void **table = nullptr;
    int traps = 0;
    auto t0 = Clock::now();
    for (int r = 0; r < bindRounds; ++r) {
        table = RuntimeAllocatePluginEntrypointsTable(int(texts.size()));
        for (size_t i = 0; i < texts.size(); ++i) table[i] = RuntimeLookupPluginEntrypoint(texts[i].c_str());
        if (r + 1 < bindRounds) std::free(table);
    }
    auto bind = Clock::now() - t0;
    for (size_t i = 0; i < texts.size(); ++i) traps += rb::isTrap(table[i]);
    std::printf("bind %zu texts: %.1f us per table (%.0f ns per text), unresolved: %d (\"_\")\n", texts.size(),
                nsPer(bind, bindRounds) / 1000, nsPer(bind, bindRounds * double(texts.size())), traps);

    // Calling: the 9th class's first method, as the application calls a deck command.
    size_t slot = 0;
    std::string want = classes[9].texts[0] + "." + classes[9].texts[1];
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == want) slot = i;
    rb::ObjRef obj = rb::make(classes[9].texts[0].c_str());
    const int n = 20000000;
    volatile int32_t sink = 0;

    t0 = Clock::now();
    for (int i = 0; i < n; ++i) sink = step(obj.get(), sink, nullptr);
    auto direct = Clock::now() - t0;

    void *volatile entry = table[slot];  // read from memory each time, as a link stub does
    t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        sink = reinterpret_cast<int32_t (*)(REALobject, int32_t, REALstring)>(entry)(obj.get(), sink, nullptr);
    auto raw = Clock::now() - t0;

    t0 = Clock::now();
    rb::Member<"BenchClass9Plyx.Operation0(speed as integer, label as String) as integer"> member{table[slot]};
    for (int i = 0; i < n; ++i) sink = rb::call(member, obj.get(), int32_t(sink), REALstring(nullptr));
    auto through = Clock::now() - t0;

    std::printf("direct call:               %.2f ns\n", nsPer(direct, n));
    std::printf("plain call through table:  %.2f ns\n", nsPer(raw, n));
    std::printf("rb::call through table:    %.2f ns (reference held, exception checked)\n", nsPer(through, n));
    std::printf("(sink %d)\n", int(sink));
    return 0;
}
