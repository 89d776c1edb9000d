#include "SlotNamer.h"

#include <algorithm>
#include <ctime>
#include <string_view>

#include "host/Utility.h"
#include "os/Clock.h"
#include "os/Path.h"
#include "rolling/HistoryListing.h"

namespace Quorlin::Rolling {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kHour = 3600;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = FloorDiv(y, 400);
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// Local time minus universal time at an instant, as the platform's local-time conversion has it.
bool OffsetAt(std::int64_t seconds, std::int64_t& offset)
{
    std::tm local{};
    if (!os::ToLocalTime(seconds, local))
        return false;
    const std::int64_t days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                            static_cast<unsigned>(local.tm_mday));
    offset = days * kDay + local.tm_hour * kHour + local.tm_min * 60 + local.tm_sec - seconds;
    return true;
}

// Writes the number as the host does, zeros up to the width and then the number with its sign, and
// returns the end.
wchar_t* PutNumber(wchar_t* out, std::int64_t value, int width)
{
    wchar_t digits[24];
    int n = 0;
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0ull - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        digits[n++] = L'-';
    for (int pad = n; pad < width; ++pad)
        *out++ = L'0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

constexpr std::size_t kWidestNumber = 24;

}  // namespace

bool SlotNamer::Parse(const DString& pattern)
{
    struct Token {
        std::string_view name;
        Field field;
        int width;
    };
    static constexpr Token kTokens[] = {
        {"yyyy", Field::Year, 4}, {"yy", Field::ShortYear, 2}, {"MM", Field::Month, 2},  {"M", Field::Month, 1},
        {"dd", Field::Day, 2},    {"d", Field::Day, 1},        {"HH", Field::Hour, 2},   {"H", Field::Hour, 1},
        {"mm", Field::Minute, 2}, {"m", Field::Minute, 1},     {"ss", Field::Second, 2}, {"s", Field::Second, 1},
    };
    m_Pieces.clear();
    std::string literal;
    auto flush = [&] {
        if (!literal.empty()) {
            Piece piece;
            piece.literal = ORBEK::Utility::Utf8ToWide(DString(literal.data(), static_cast<std::int32_t>(literal.size())));
            m_Pieces.push_back(std::move(piece));
            literal.clear();
        }
    };
    const std::string_view text = pattern.StdView();
    // The host's reading: a brace opens a token only when a known name and a closing brace follow;
    // otherwise the brace is text and reading goes on right after it.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '{' ? text.find('}', i + 1) : std::string_view::npos;
        if (close != std::string_view::npos) {
            const std::string_view name = text.substr(i + 1, close - i - 1);
            if (name.substr(0, 10) == "GlobalMap:")
                return false;
            const auto token = std::find_if(std::begin(kTokens), std::end(kTokens),
                                            [&](const Token& t) { return t.name == name; });
            if (token != std::end(kTokens)) {
                flush();
                m_Pieces.push_back({token->field, token->width, {}});
                i = close + 1;
                continue;
            }
        }
        literal += text[i++];
    }
    flush();
    return true;
}

bool SlotNamer::FindOffsets(std::int64_t from, std::int64_t to)
{
    m_Offsets.clear();
    std::int64_t previous = 0;
    if (!OffsetAt(from, previous))
        return false;
    m_Offsets.emplace_back(from, previous);
    // Offsets change at most a few times a year and never twice within an hour: look every hour and
    // find each change to the second.
    for (std::int64_t at = from; at < to;) {
        const std::int64_t next = std::min(to, at + kHour);
        std::int64_t offset = 0;
        if (!OffsetAt(next, offset))
            return false;
        if (offset != previous) {
            std::int64_t low = at, high = next;
            while (high - low > 1) {
                const std::int64_t middle = low + (high - low) / 2;
                std::int64_t probe = 0;
                if (!OffsetAt(middle, probe))
                    return false;
                (probe == previous ? low : high) = middle;
            }
            m_Offsets.emplace_back(high, offset);
            previous = offset;
        }
        at = next;
    }
    return true;
}

bool SlotNamer::AgreesWithHost(const DString& pattern, std::int64_t seconds) const
{
    std::wstring mine;
    NameAt(seconds, mine);
    const ORBEK::Utility::WString host = Utility::PatternToFileName(pattern.c_str(), &seconds);
    return host.StdView() == mine;
}

bool SlotNamer::Prepare(const DString& pattern, std::int64_t from, std::int64_t to)
{
    if (from > to)
        std::swap(from, to);
    if (!Parse(pattern) || !FindOffsets(from, to))
        return false;
    m_Capacity = 0;
    for (const Piece& piece : m_Pieces)
        m_Capacity += piece.field == Field::Literal ? piece.literal.size() : kWidestNumber;
    SplitDirectory();
    for (std::int64_t at = from; at < to; at += kHour) {
        if (!AgreesWithHost(pattern, at))
            return false;
    }
    if (!AgreesWithHost(pattern, to))
        return false;
    for (std::size_t i = 1; i < m_Offsets.size(); ++i) {
        if (!AgreesWithHost(pattern, m_Offsets[i].first - 1) || !AgreesWithHost(pattern, m_Offsets[i].first))
            return false;
    }
    return true;
}

SlotNamer::Local SlotNamer::LocalAt(std::int64_t seconds) const
{
    auto segment = std::upper_bound(m_Offsets.begin(), m_Offsets.end(), seconds,
                                    [](std::int64_t s, const auto& entry) { return s < entry.first; });
    const std::int64_t offset = segment == m_Offsets.begin() ? m_Offsets.front().second : std::prev(segment)->second;
    const std::int64_t local = seconds + offset;
    const std::int64_t days = FloorDiv(local, kDay);
    Local result{};
    result.secondOfDay = local - days * kDay;
    CivilFromDays(days, result.year, result.month, result.day);
    return result;
}

void SlotNamer::Render(const std::vector<Piece>& pieces, const Local& local, std::wstring& out, std::size_t capacity)
{
    out.resize(capacity);
    wchar_t* const begin = out.data();
    wchar_t* p = begin;
    for (const Piece& piece : pieces) {
        switch (piece.field) {
        case Field::Literal: p = std::copy(piece.literal.begin(), piece.literal.end(), p); break;
        case Field::Year: p = PutNumber(p, local.year, piece.width); break;
        case Field::ShortYear: p = PutNumber(p, local.year % 100, piece.width); break;
        case Field::Month: p = PutNumber(p, local.month, piece.width); break;
        case Field::Day: p = PutNumber(p, local.day, piece.width); break;
        case Field::Hour: p = PutNumber(p, local.secondOfDay / kHour, piece.width); break;
        case Field::Minute: p = PutNumber(p, local.secondOfDay / 60 % 60, piece.width); break;
        case Field::Second: p = PutNumber(p, local.secondOfDay % 60, piece.width); break;
        }
    }
    out.resize(static_cast<std::size_t>(p - begin));
}

void SlotNamer::NameAt(std::int64_t seconds, std::wstring& name) const { Render(m_Pieces, LocalAt(seconds), name, m_Capacity); }

void SlotNamer::KeyAt(std::int64_t seconds, std::wstring& key) const
{
    Render(m_FileKeyPieces, LocalAt(seconds), key, m_Capacity);
    // As Fold: trailing dots and spaces do not count.
    while (!key.empty() && (key.back() == L'.' || key.back() == L' '))
        key.pop_back();
}

void SlotNamer::SplitDirectory()
{
    m_FixedDirectory = false;
    m_Directory.clear();
    m_FileKeyPieces.clear();
    // The last separator must lie in a literal with no token before it.
    std::size_t piece = 0, cut = std::wstring::npos;
    for (std::size_t i = 0; i < m_Pieces.size(); ++i) {
        if (m_Pieces[i].field != Field::Literal)
            continue;
        const std::wstring& text = m_Pieces[i].literal;
        for (std::size_t c = text.size(); c > 0; --c) {
            if (os::IsPathSeparator(text[c - 1])) {
                piece = i, cut = c;
                break;
            }
        }
    }
    if (cut != std::wstring::npos) {
        for (std::size_t i = 0; i < piece; ++i) {
            if (m_Pieces[i].field != Field::Literal)
                return;
            m_Directory += m_Pieces[i].literal;
        }
        m_Directory += m_Pieces[piece].literal.substr(0, cut);
    }
    const std::size_t first = cut == std::wstring::npos ? 0 : piece;
    for (std::size_t i = first; i < m_Pieces.size(); ++i) {
        Piece key = m_Pieces[i];
        if (key.field == Field::Literal) {
            const std::wstring text = i == first && cut != std::wstring::npos ? key.literal.substr(cut) : key.literal;
            if (text.find_first_of(L"*?~:") != std::wstring::npos)
                return;  // names the system may read otherwise: the listing cannot judge them
            // Folding each piece alone keeps its trailing dots; KeyAt drops those of the whole name.
            std::wstring folded;
            HistoryListing::FoldInto(text + L"#", folded);
            folded.pop_back();
            key.literal = folded;
        }
        m_FileKeyPieces.push_back(std::move(key));
    }
    m_FixedDirectory = true;
}

}  // namespace Quorlin::Rolling
