// The pure name functions of the rolling helpers: ApplyIndex, Stem, HasStemVariants and Variants.
//
// Input: four bytes of index, then the pattern as UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rolling/Helper.h"
#include "utility/DString.h"

namespace Helper = Quorlin::Rolling::Helper;
using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4 || size > 2048)
        return 0;
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    const auto index = static_cast<std::int32_t>(bits);
    const WString pattern(DString(reinterpret_cast<const char*>(data + 4), static_cast<std::int32_t>(size - 4)));
    const std::wstring_view token(Helper::kRollingIndex);

    const WString name = Helper::ApplyIndex(pattern, index);
    if (name.StdView().find(token) != std::wstring_view::npos)
        std::abort();
    if (pattern.StdView().find(token) == std::wstring_view::npos && !(name == pattern))
        std::abort();

    // The stem and the extension make up the name again; the extension is a dot and a last component.
    WString stem;
    if (Helper::Stem(name, stem)) {
        const std::wstring_view whole = name.StdView();
        if (!StartsWith(whole, stem.StdView()))
            std::abort();
        const std::wstring_view extension = whole.substr(stem.StdView().size());
        if (!extension.empty() && (extension[0] != L'.' || extension.find(L'/') != std::wstring_view::npos))
            std::abort();
    }

    for (const bool stemVariants : {false, true}) {
        const auto family = Helper::Variants(name, stemVariants);
        if (family.size() < 3 || family.size() > 5 || (!stemVariants && family.size() != 3))
            std::abort();
        if (!(family[0] == name) || !(family[1] == name + L".gz") || !(family[2] == name + L".zip"))
            std::abort();
        for (std::size_t i = 3; i < family.size(); ++i)
            if (!(family[i] == stem + L".gz") && !(family[i] == stem + L".zip"))
                std::abort();
        for (std::size_t i = 0; i < family.size(); ++i)
            for (std::size_t j = i + 1; j < family.size(); ++j)
                if (family[i] == family[j])
                    std::abort();  // a family member counted twice would be renamed onto itself
    }

    // A pattern with stem variants keeps its extension free of the token whatever the index.
    if (Helper::HasStemVariants(pattern) && !Helper::HasStemVariants(name))
        std::abort();
    return 0;
}
