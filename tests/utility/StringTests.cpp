#include <gtest/gtest.h>

#include "utility/DString.h"

using namespace ORBEK::Utility;
using namespace ORBEK::Utility::Literals;

TEST(StringView, HashIsFnv1aAndIdenticalForNarrowAndWideAscii)
{
    constexpr auto narrow = StringView::Literal("Appender.File");
    constexpr auto wide = WStringView::Literal(L"Appender.File");
    static_assert(narrow.GetHash() == 0x57992874e3818f4aull);
    EXPECT_EQ(wide.GetHash(), narrow.GetHash());
    EXPECT_EQ("Appender.File"_qv.GetHash(), narrow.GetHash());
    EXPECT_EQ(Fnv1a64("", 0), kFnvOffsetBasis);
    // The category identifier of OS errors is the hash of its name.
    EXPECT_EQ(StringView::Literal("Error.Catelog.OS.Windows").GetHash(), 0x3b6ae225721b3ebfull);
}

TEST(DString, ConstructionAndAssignmentFromPiecesAndViews)
{
    DString moved("hello");
    const DString taken(std::move(moved));
    EXPECT_EQ(taken, "hello");
    EXPECT_STREQ(moved.c_str(), "");  // moved-from strings read as empty
    DString d("abcdef", 3);
    EXPECT_EQ(d, "abc");
    d = {StringView("one"), StringView("-"), StringView("two")};
    EXPECT_EQ(d, "one-two");
    WString w;
    w.Assign({L"C:", L"\\logs\\", nullptr, L"app", L".gz"});
    EXPECT_EQ(w, L"C:\\logs\\app.gz");
    DString e("abcdef");
    e = StringView(e.c_str() + 2, 2);  // assigning a view of itself
    EXPECT_EQ(e, "cd");
}

TEST(DString, SearchFunctions)
{
    const DString key("triggeringPolicy/maxFileSize/value");
    EXPECT_EQ(key.Find("triggeringPolicy/"), 0);
    EXPECT_EQ(key.Find("/maxFileSize/value"), 16);
    EXPECT_LT(key.Find("rollingPolicy/"), 0);
    EXPECT_EQ(key.Find("e", 30), 33);
    EXPECT_EQ(DString("x.Appender.Null.y").NCFind("APPENDER.NULL"), 2);
    EXPECT_LT(DString("Appender.Nul").NCFind("appender.null"), 0);
    EXPECT_EQ(DString("a\\b\\c").ReverseFind('\\'), 3);
    EXPECT_EQ(DString("a\\b\\c").ReverseFind('\\', 2), 1);
    EXPECT_EQ(DString("abc").ReverseFind('z'), -1);
    EXPECT_TRUE(DString("15m").EndWith("m"));
    EXPECT_FALSE(DString("15m").EndWith("M"));
    EXPECT_TRUE(DString("15m").EndWith("M", true));
    EXPECT_FALSE(DString("m").EndWith("mm"));
    EXPECT_EQ(WString(L"C:\\Logs").CompareNoCase(L"c:\\logs"), 0);
    EXPECT_LT(WString(L"C:").CompareNoCase(L"C:\\logs"), 0);
    EXPECT_GT(WString(L"C:\\logs\\app").CompareNoCase(L"C:\\logs"), 0);
}

TEST(DString, EditingFunctions)
{
    DString s("app.{RollingIndex}.log {RollingIndex}");
    EXPECT_EQ(s.Replace("{RollingIndex}", "12"), 2);
    EXPECT_EQ(s, "app.12.log 12");
    EXPECT_EQ(s.Replace("zzz", "y"), 0);
    DString m("{MDC:user}/{MDC:host}");
    EXPECT_EQ(m.Replace("{MDC", "{GlobalMap"), 2);
    EXPECT_EQ(m, "{GlobalMap:user}/{GlobalMap:host}");
    DString t("  \t Red \r\n");
    t.TrimLeft();
    EXPECT_EQ(t, "Red \r\n");
    t.TrimRight().MakeLower();
    EXPECT_EQ(t, "red");
    EXPECT_EQ(DString("abcdef").Left(2), "ab");
    EXPECT_EQ(DString("abcdef").Left(99), "abcdef");
    EXPECT_EQ(DString("abcdef").Mid(4), "ef");
    EXPECT_EQ(DString("abcdef").Mid(1, 2), "bc");
    EXPECT_EQ(DString("abcdef").Mid(9), "");
    DString j("a");
    j << "b" << 12 << StringView("c");
    j += "d";
    EXPECT_EQ(j, "ab12cd");
    EXPECT_EQ(DString("x") + StringView("y"), "xy");
    EXPECT_EQ(StringView("y") + DString("x"), "yx");
}

TEST(WString, ConversionsAndNumbers)
{
    EXPECT_EQ(WString::From(0), L"0");
    EXPECT_EQ(WString::From(-123), L"-123");
    EXPECT_EQ(DString::From(std::int64_t{-9223372036854775807LL - 1}), "-9223372036854775808");
    const DString utf8("C:\\journaux\\\xc3\xa9t\xc3\xa9 \xe2\x82\xac.log");  // "été €"
    const WString wide(utf8);
    EXPECT_EQ(wide, L"C:\\journaux\\\u00e9t\u00e9 \u20ac.log");
    EXPECT_EQ(wide.ToDString(), utf8);
    const DString astral("\xf0\x9f\x98\x80");  // U+1F600 takes a surrogate pair in UTF-16
    EXPECT_EQ(WString(astral).ToDString(), astral);
    EXPECT_EQ(WString(DString("a\xff"
                              "b")),
              L"a\ufffdb");  // malformed input is replaced, not dropped
}

// Short texts are stored inside the string: moves must copy them, growth must leave them, and a
// piece of the string itself must survive the move of its storage.
template <typename Ch>
class InlineStorage : public ::testing::Test {
protected:
    using Str = BasicString<Ch>;
    static constexpr std::int32_t kInline = Str::kInlineCapacity;

    // n ASCII characters "abc...", wide or narrow.
    static Str Text(std::int32_t n, char first = 'a')
    {
        Str s;
        for (std::int32_t i = 0; i < n; ++i)
            s.Append(static_cast<Ch>(first + i % 26));
        return s;
    }
    static std::basic_string<Ch> Std(const Str& s)
    {
        return std::basic_string<Ch>(s.c_str(), static_cast<std::size_t>(s.GetLength()));
    }
    static bool Inside(Str& s)
    {
        const char* p = reinterpret_cast<const char*>(s.GetBuffer());
        return p >= reinterpret_cast<const char*>(&s) && p < reinterpret_cast<const char*>(&s + 1);
    }
};
using CharTypes = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(InlineStorage, CharTypes);

TYPED_TEST(InlineStorage, CopiesMovesAndSelfAssignment)
{
    using Str = typename TestFixture::Str;
    const std::int32_t k = TestFixture::kInline;
    for (std::int32_t a : {0, 1, k, k + 1, 40}) {
        for (std::int32_t b : {0, 1, k, k + 1, 40}) {
            const Str source = TestFixture::Text(a);
            Str copy(source);
            Str moved(std::move(copy));
            EXPECT_EQ(moved, source);
            EXPECT_EQ(copy.GetLength(), 0);  // moved-from: empty, as new
            EXPECT_EQ(copy.GetBuffer(), nullptr);
            Str target = TestFixture::Text(b, 'A');
            target = std::move(moved);
            EXPECT_EQ(target, source) << a << " <- " << b;
            Str other = TestFixture::Text(b, 'A');
            other = target;
            EXPECT_EQ(other, source);
            Str& alias = other;
            other = std::move(alias);
            other = alias;
            EXPECT_EQ(other, source);
            copy = TestFixture::Text(b, 'A');  // a moved-from string is usable again
            EXPECT_EQ(copy, TestFixture::Text(b, 'A'));
        }
    }
}

TYPED_TEST(InlineStorage, PiecesOfItselfAcrossTheLimit)
{
    using Str = typename TestFixture::Str;
    using View = typename Str::View;
    const std::int32_t k = TestFixture::kInline;
    for (std::int32_t n : {1, k, k + 1, 40}) {
        Str s = TestFixture::Text(n);
        s.Append(View(s.c_str(), s.GetLength()));  // outgrows its storage while reading it
        s.Append(View(s.c_str() + 1, s.GetLength() - 1));
        const std::basic_string<TypeParam> once = TestFixture::Std(TestFixture::Text(n));
        EXPECT_EQ(TestFixture::Std(s), once + once + (once + once).substr(1));
        s = View(s.c_str() + 1, n);  // assigning a piece of itself
        EXPECT_EQ(TestFixture::Std(s), (once + once).substr(1, static_cast<std::size_t>(n)));
    }
}
