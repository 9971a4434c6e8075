// The tokenizer, path parts, colon fields, Notes names and bounded lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hooklib/core/text.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"

namespace {

TEST(CoreText, NextTokenSkipsRunsAndResetsTheCursor) {
  char text[] = "a,,b";
  char* cursor = nullptr;
  EXPECT_STREQ(vp::NextToken(text, ",", &cursor), "a");
  EXPECT_STREQ(vp::NextToken(text, ",", &cursor), "b");
  EXPECT_EQ(vp::NextToken(text, ",", &cursor), nullptr);
  EXPECT_EQ(cursor, nullptr);
  // Restarting on the same text finds the first token again (the text now ends after it).
  EXPECT_STREQ(vp::NextToken(text, ",", &cursor), "a");
  EXPECT_EQ(vp::NextToken(text, ",", &cursor), nullptr);

  char delimitersOnly[] = ";;;";
  cursor = nullptr;
  EXPECT_EQ(vp::NextToken(delimitersOnly, ";", &cursor), nullptr);
  EXPECT_EQ(vp::NextToken(nullptr, ";", &cursor), nullptr);
}

TEST(CoreText, NextTokenRunsInterleavedOnTwoTexts) {
  char one[] = "x\ny";
  char two[] = "1,2";
  char* c1 = nullptr;
  char* c2 = nullptr;
  EXPECT_STREQ(vp::NextToken(one, "\n", &c1), "x");
  EXPECT_STREQ(vp::NextToken(two, ",", &c2), "1");
  EXPECT_STREQ(vp::NextToken(one, "\n", &c1), "y");
  EXPECT_STREQ(vp::NextToken(two, ",", &c2), "2");
}

TEST(CoreText, FileNamePartSplitsAtTheLastSeparator) {
  EXPECT_STREQ(vp::GetFileNamePart("/dir/file.pgp"), "file.pgp");
  EXPECT_STREQ(vp::GetFileNamePart("file.pgp"), "file.pgp");
  EXPECT_STREQ(vp::GetFileNamePart("/dir/"), "");
  // Both separators count on both builds: Windows reads "/" as one too, so a part can never
  // climb out of the folder it is joined to.
  EXPECT_STREQ(vp::GetFileNamePart("C:\\dir\\file"), "file");
  EXPECT_STREQ(vp::GetFileNamePart("a.txt/../../victim.txt"), "victim.txt");
  EXPECT_STREQ(vp::GetFileNamePart("x\\..\\..\\victim.txt"), "victim.txt");
  EXPECT_STREQ(vp::GetFileNamePart("C:\\dir/sub\\"), "");
}

TEST(CoreText, OnlyPlainNamesNameAFileInAFolder) {
  for (const char* name : {"report.doc", ".profile", "...", "a..b"})
    EXPECT_TRUE(vp::IsPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "x/y", "x\\y", "../victim.txt"})
    EXPECT_FALSE(vp::IsPlainFileName(name)) << name;
  EXPECT_FALSE(vp::IsPlainFileName(nullptr));
}

TEST(GnuPGText, ColonFieldsFollowTheListingLayout) {
  const char* pub = "pub:u:255:22:0123456789ABCDEF:1700000000:::u:::scESC::::::ed25519:::0:";
  char dest[256] = "unchanged";
  vp::GetColonField(pub, 4, dest, sizeof dest);
  EXPECT_STREQ(dest, "0123456789ABCDEF");
  vp::GetColonField("uid:u::::1700000000::HASH::Bob Example <bob@example.com>::::::::::0:", 9, dest,
                    sizeof dest);
  EXPECT_STREQ(dest, "Bob Example <bob@example.com>");

  // Too few fields, or a last field without its closing colon: dest stays as it was.
  strcpy(dest, "kept");
  vp::GetColonField("pub:u:255", 4, dest, sizeof dest);
  EXPECT_STREQ(dest, "kept");
  vp::GetColonField("a:b:c", 2, dest, sizeof dest);
  EXPECT_STREQ(dest, "kept");
  // A field longer than the buffer is cut, never overflowed.
  char small[5];
  vp::GetColonField("x:abcdefgh:", 1, small, sizeof small);
  EXPECT_STREQ(small, "abcd");
}

TEST(GnuPGText, NotesNamesAreNormalised) {
  char a[256] = "Bob Example/Sales/Acme";
  EXPECT_STREQ(vp::NormalizeNotesName(a), "Bob Example");
  char b[256] = "bob@example.com@SMTP";
  EXPECT_STREQ(vp::NormalizeNotesName(b), "bob@example.com");
  char c[256] = "Bob <bob@example.com/x>";
  EXPECT_STREQ(vp::NormalizeNotesName(c), "Bob <bob@example.com/x>");
  char d[256] = "ann@Notes1@smtp trailing";
  EXPECT_STREQ(vp::NormalizeNotesName(d), "ann trailing");
  char again[256] = "Bob Example";
  EXPECT_STREQ(vp::NormalizeNotesName(vp::NormalizeNotesName(again)), "Bob Example");
  // A name longer than 255 characters is cut, not overflowed.
  std::string longName(400, 'x');
  std::vector<char> buf(longName.begin(), longName.end());
  buf.push_back('\0');
  EXPECT_EQ(strlen(vp::NormalizeNotesName(buf.data())), 255u);
}

TEST(GnuPGText, DomainPartEndsAtTheClosingBracket) {
  char a[] = "Bob Example <bob@example.com>";
  EXPECT_STREQ(vp::GetDomainPart(a), "example.com");
  char b[] = "no address";
  EXPECT_EQ(vp::GetDomainPart(b), nullptr);
  EXPECT_EQ(vp::StartsWith("GPGERR: x", "GPGERR: "), 1);
  EXPECT_EQ(vp::StartsWith("gpgerr: x", "GPGERR: "), 0);
}

TEST(GnuPGText, StringListsDropBeyondTheirSlots) {
  vp::StringList& list = vp::UserIdList();
  vp::FreeStringList(list);
  for (int i = 0; i < vp::kStringListSlots + 1; ++i) {
    vp::AddToStringList(list, std::to_string(i).c_str());
  }
  EXPECT_EQ(list.count, vp::kStringListSlots);
  EXPECT_STREQ(list.items[vp::kStringListSlots - 1], "8191");
  vp::FreeStringList(list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.items[0], nullptr);
}

// Names other people chose stay on one line and cannot reorder what follows them on screen.
TEST(CoreText, ShownTextEscapesControlCharacters) {
  EXPECT_EQ(vp::ShownText("report\nPS: please pay invoice 42.pdf"),
            "report\\nPS: please pay invoice 42.pdf");
  EXPECT_EQ(vp::ShownText("a\rb\tc\x1b[2J\x7f"
                          "d"),
            "a\\rb\\tc\\x1B[2J\\x7Fd");
  EXPECT_EQ(vp::ShownText(std::string("nul\0byte", 8)), "nul\\x00byte");
  // Direction overrides, a line separator and a C1 control (NEL) in UTF-8; other letters stay.
  EXPECT_EQ(vp::ShownText("invoice\xe2\x80\xae"
                          "fdp.exe"),
            "invoice\\u202Efdp.exe");
  EXPECT_EQ(vp::ShownText("one\xe2\x80\xa8two\xc2\x85three"), "one\\u2028two\\u0085three");
  EXPECT_EQ(vp::ShownText("Gr\xc3\xbc\xc3\x9f"
                          "e \xe2\x82\xac 5 \\ back"),
            "Gr\xc3\xbc\xc3\x9f"
            "e \xe2\x82\xac 5 \\ back");
  EXPECT_EQ(vp::ShownText(nullptr), "");
  // A cut never splits a character: "ü" is two bytes, so the cut falls before it.
  EXPECT_EQ(vp::ShownText("abc\xc3\xbc"
                          "def",
                          4),
            "abc...");
  EXPECT_EQ(vp::ShownText("abc\xc3\xbc"
                          "def",
                          5),
            "abc\xc3\xbc...");
  EXPECT_EQ(vp::ShownText("a\nb", 3), "a\\n...");
  EXPECT_EQ(vp::ShownText(std::string(300, 'x')).size(), vp::kShownTextLimit + 3);
}

TEST(CoreText, KeyListLinesShowUserIdsEscapedAndFingerprintsGrouped) {
  EXPECT_EQ(vp::KeyDisplayLine("Eve <e@x>\nAlice Example <alice@example.com>",
                               "0123456789ABCDEF0123456789ABCDEF01234567"),
            "Eve <e@x>\\nAlice Example <alice@example.com>  "
            "[0123 4567 89AB CDEF 0123  4567 89AB CDEF 0123 4567]");
  EXPECT_EQ(vp::GroupedKeyReference("94B76C9A2512F51A"), "94B7 6C9A 2512 F51A");
}

}  // namespace
