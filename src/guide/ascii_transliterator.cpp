#include "guide/ascii_transliterator.hpp"

#include <unicode/parseerr.h>
#include <unicode/stringpiece.h>
#include <unicode/translit.h>
#include <unicode/uclean.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <cstdint>
#include <utility>

namespace {

icu::StringPiece piece_of(std::string_view text) {
    return {text.data(), static_cast<std::int32_t>(text.size())};
}

class icu_transliterator final : public ascii_transliterator {
public:
    explicit icu_transliterator(std::unique_ptr<icu::Transliterator> icu) : icu_(std::move(icu)) {}

    void append(std::string_view text, std::string& out) const override {
        icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(piece_of(text));
        icu_->transliterate(unicode);
        unicode.toUTF8String(out); // appends; an unpaired surrogate would become U+FFFD
    }

private:
    std::unique_ptr<icu::Transliterator> icu_;
};

} // namespace

std::unique_ptr<ascii_transliterator> ascii_transliterator::create(std::string& error,
                                                                   std::string_view with_rules) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where;
    std::unique_ptr<icu::Transliterator> icu(icu::Transliterator::createFromRules(
        "guidepack-ascii", icu::UnicodeString::fromUTF8(piece_of(with_rules)), UTRANS_FORWARD, where, status));
    if (U_FAILURE(status) || !icu) {
        error = u_errorName(U_FAILURE(status) ? status : U_MEMORY_ALLOCATION_ERROR);
        return nullptr;
    }
    return std::make_unique<icu_transliterator>(std::move(icu));
}

icu_caches::~icu_caches() { u_cleanup(); }
