// ICU's transliteration to ASCII of what the guide cannot hold: Any-Latin,
// then Latin-ASCII, behind a filter that leaves ASCII, « », Ç and the eleven
// letters the guide keeps to the single-byte conversion. The one unit that
// sees ICU.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class ascii_transliterator {
public:
    // The rules, as ICU reads them.
    static constexpr std::string_view rules =
        ":: [^\\u0000-\\u007F\\u00AB\\u00BB\\u00C7\\u00E0\\u00E2\\u00E7\\u00E8-\\u00EB\\u00EE\\u00EF\\u00F4\\u00F9] ;\n"
        ":: Any-Latin ;\n"
        ":: Latin-ASCII ;\n";

    // ICU's transliterator for `rules`; null when ICU cannot make it (its
    // data missing, say), with ICU's name for the error in `error`.
    static std::unique_ptr<ascii_transliterator> create(std::string& error,
                                                         std::string_view with_rules = rules);

    virtual ~ascii_transliterator() = default;

    // Appends to `out` what the rules make of `text`, well-formed UTF-8: a
    // well-formed UTF-8 result.
    virtual void append(std::string_view text, std::string& out) const = 0;
};

// ICU keeps its caches (the registry of transliterators, the rules it
// compiled) until the process ends. A run that used ICU drops them with this
// guard once every ICU object of the run is gone, so that a memory checker
// finds nothing left behind.
class icu_caches {
public:
    icu_caches() = default;
    icu_caches(const icu_caches&) = delete;
    icu_caches& operator=(const icu_caches&) = delete;
    ~icu_caches();
};
