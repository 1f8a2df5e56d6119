// The report's line format: tabs, CR LF, escaping, placeholders and numbering.
#include "report_file.h"

#include "report/xml_writer.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(XmlWriter, StartAndEndTagsAreIndentedByTabsAndEndInCrLf)
{
    TempReport report;
    EXPECT_EQ(0u, WriteStartTag(report.handle(), L"TestGroup", 1));
    EXPECT_EQ(0u, WriteEndTag(report.handle(), L"TestGroup", 0));
    EXPECT_EQ(L"\t<TestGroup>\r\n</TestGroup>\r\n", report.Content());
}

TEST(XmlWriter, NullHandleGivesInvalidHandleAndWritesNothing)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), WriteStartTag(nullptr, L"A", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), WriteEndTag(nullptr, L"A", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), WriteElement(nullptr, L"A", L"v", nullptr, nullptr, 1));
}

TEST(XmlWriter, InvalidHandleValueIsAWriteFault)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), WriteStartTag(INVALID_HANDLE_VALUE, L"A", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT),
              WriteElement(INVALID_HANDLE_VALUE, L"A", L"v", nullptr, nullptr, 1));
}

TEST(XmlWriter, NullNameOrValueIsABadArgumentAndWritesNothing)
{
    TempReport report;
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), WriteElement(report.handle(), nullptr, L"v", nullptr, nullptr, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), WriteElement(report.handle(), L"A", nullptr, nullptr, nullptr, 1));
    EXPECT_EQ(L"", report.Content());
}

TEST(XmlWriter, TagLinesLongerThanTheirBufferAreRefused)
{
    TempReport report;
    std::wstring name(257, L'n');  // "<" + name + ">" + CR LF is 261 characters
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), WriteStartTag(report.handle(), name.c_str(), 0));
    EXPECT_EQ(0u, WriteStartTag(report.handle(), std::wstring(255, L'n').c_str(), 0));
    EXPECT_EQ(L"<" + std::wstring(255, L'n') + L">\r\n", report.Content());
}

struct ElementCase {
    const char* name;
    const wchar_t* value;
    const wchar_t* attribute;
    const wchar_t* attributeValue;
    int depth;
    const wchar_t* line;
};

class XmlElementLines : public ::testing::TestWithParam<ElementCase> {};

TEST_P(XmlElementLines, WriteElementWritesTheWholeLine)
{
    const ElementCase& c = GetParam();
    TempReport report;
    ASSERT_EQ(0u, WriteElement(report.handle(), L"TestResult", c.value, c.attribute, c.attributeValue, c.depth));
    EXPECT_EQ(std::wstring(c.line), report.Content());
}

INSTANTIATE_TEST_SUITE_P(
    Escaping, XmlElementLines,
    ::testing::Values(
        ElementCase{"AttributeAndDepth", L"5 < 7", L"Format", L"String", 7,
                    L"\t\t\t\t\t\t\t<TestResult Format=\"String\">5 &lt; 7</TestResult>\r\n"},
        ElementCase{"AllFourEscapes", L"a&b\"c<d>e'f", nullptr, nullptr, 0, L"<TestResult>a&amp;b&quot;c&lt;d&gt;e'f</TestResult>\r\n"},
        // An entity already in the text is escaped again: readers see the entity text.
        ElementCase{"EntityEscapedAgain", L"&amp;", nullptr, nullptr, 1, L"\t<TestResult>&amp;amp;</TestResult>\r\n"},
        ElementCase{"EmptyValue", L"", nullptr, nullptr, 2, L"\t\t<TestResult></TestResult>\r\n"},
        // One trailing line feed goes; a carriage return before it stays.
        ElementCase{"CarriageReturnStays", L"line\r\n", nullptr, nullptr, 0, L"<TestResult>line\r</TestResult>\r\n"},
        ElementCase{"OnlyOneLineFeedGoes", L"two\n\n", nullptr, nullptr, 0, L"<TestResult>two\n</TestResult>\r\n"},
        ElementCase{"AttributeLosesLineFeed", L"v", L"Format", L"Hex\n", 0, L"<TestResult Format=\"Hex\">v</TestResult>\r\n"},
        // Characters XML 1.0 forbids would make the whole report unreadable.
        ElementCase{"ControlCharacters", L"a\x01" L"b\x1F" L"c\tOK", nullptr, nullptr, 0,
                    L"<TestResult>a\xFFFD" L"b\xFFFD" L"c\tOK</TestResult>\r\n"},
        ElementCase{"NonCharacters", L"\xFFFE\xFFFF", nullptr, nullptr, 0, L"<TestResult>\xFFFD\xFFFD</TestResult>\r\n"},
        ElementCase{"UnpairedSurrogates", L"x\xD800y\xDC00z\xD83D\xDE00", nullptr, nullptr, 0,
                    L"<TestResult>x\xFFFDy\xFFFDz\xD83D\xDE00</TestResult>\r\n"},
        ElementCase{"TrailingHighSurrogate", L"end\xD800", nullptr, nullptr, 0, L"<TestResult>end\xFFFD</TestResult>\r\n"}),
    [](const ::testing::TestParamInfo<ElementCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv
