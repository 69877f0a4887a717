// Reading and writing single values of an INI document given as GBK bytes.
// GBK text is spelled as bytes here so that every case shows exactly what is
// in the file: 音效 is D2F4 D0A7, 乚 is 815D (its trail byte is ']'), 丄 is
// 8141 and 乤 is 8161 (trail bytes 'A' and 'a').
#include <gtest/gtest.h>

#include <string>

#include "settings/ini_codec.h"

namespace kivora {
namespace {

using namespace std::string_literals;

struct ReadCase {
  const char* name;
  std::string document;
  std::string section;
  std::string key;
  std::string expected;
};

TEST(IniCodec, ReadsValuesTheWayTheProfileFunctionsDo) {
  const ReadCase cases[] = {
      {"crlf", "[A]\r\nk=v\r\n", "A", "k", "v"},
      {"lf", "[A]\nk=v\n", "A", "k", "v"},
      {"lone cr", "[A]\rk=v\r", "A", "k", "v"},
      {"no trailing line break", "[A]\r\nk=v", "A", "k", "v"},
      {"blanks around name and value", "[A]\r\n \t k \t=  v w \t\r\n", "A", "k", "v w"},
      {"blanks inside the brackets", "[ A\t]\r\nk=v", "A", "k", "v"},
      {"ascii case ignored", "[Sounds]\r\nClip=1", "sOUNDS", "cLIP", "1"},
      {"value keeps '='", "[A]\r\nk=a=b", "A", "k", "a=b"},
      {"first line of a key wins", "[A]\r\nk=1\r\nk=2", "A", "k", "1"},
      {"line without '=' hides later lines", "[A]\r\nk\r\nk=2", "A", "k", ""},
      {"first section of a name only", "[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2\r\nz=3", "A", "z", ""},
      {"first section wins", "[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2", "a", "k", "1"},
      {"next section ends the search", "[A]\r\n[B]\r\nk=1", "A", "k", ""},
      {"text after the header", "[A] ; note\r\nk=v", "A", "k", "v"},
      {"last ']' closes the name", "[a]b]\r\nk=1", "a]b", "k", "1"},
      {"header without ']' is a key line", "[B]\r\n[A\r\nk=1", "B", "k", "1"},
      {"keys before any section belong to none", "k=1\r\n[A]\r\n", "A", "k", ""},
      {"comment is not the key it mentions", "[A]\r\n;k=1", "A", "k", ""},
      {"missing section", "[A]\r\nk=1", "B", "k", ""},
      {"missing key", "[A]\r\nk=1", "A", "j", ""},
      {"empty document", "", "A", "k", ""},
      {"empty section argument", "[]\r\nk=1", "", "k", ""},
      {"empty key argument", "[A]\r\n=1", "A", "", ""},
      {"blank-only key argument", "[A]\r\n=1", "A", " \t", ""},
      {"leading control bytes skipped", "[A]\r\nk=v", " \x01\tA", "\x1f k", "v"},
      {"trailing blanks of arguments trimmed", "[A]\r\nk=v", "A \t", "k ", "v"},
      {"double quotes removed", "[A]\r\nk=\"a b\"", "A", "k", "a b"},
      {"single quotes removed", "[A]\r\nk='a b'", "A", "k", "a b"},
      {"blanks inside quotes kept", "[A]\r\nk= \" a \" ", "A", "k", " a "},
      {"mismatched quotes kept", "[A]\r\nk=\"a'", "A", "k", "\"a'"},
      {"lone quote kept", "[A]\r\nk=\"", "A", "k", "\""},
      {"empty quotes", "[A]\r\nk=\"\"", "A", "k", ""},
      {"one pair only", "[A]\r\nk=\"\"x\"\"", "A", "k", "\"x\""},
      {"zero byte ends the value", "[A]\r\nk=a\0b"s, "A", "k", "a"},
      {"ctrl-z is a blank", "[A]\r\n\x1ak=\x1a" "1\x1a", "A", "k", "1"},
      {"gbk names and value", "[\xd2\xf4\xd0\xa7]\r\n\xd5\xc6\xc9\xf9=D:\\\xd2\xf4\xd0\xa7\\1.mp3",
       "\xd2\xf4\xd0\xa7", "\xd5\xc6\xc9\xf9", "D:\\\xd2\xf4\xd0\xa7\\1.mp3"},
      {"trail byte ']' is not a bracket", "[\x81\x5d]\r\nk=2", "\x81\x5d", "k", "2"},
      {"trail byte ']' does not close a header", "[A]\r\n[\x81\x5d\r\nk=1", "A", "k", "1"},
      {"trail bytes keep their case", "[\x81\x41]\r\nk=3", "\x81\x61", "k", ""},
      {"trail byte '[' in a key", "[A]\r\n\x81\x5bk=4", "A", "\x81\x5bk", "4"},
      // The system decoder joins a lead byte with whatever byte follows, line
      // breaks included, so the next line becomes part of this one.
      {"lead byte swallows a line break", "[A]\r\nk=x\x81\nj=2\r\n", "A", "k", "x\x81\nj=2"},
      {"swallowed line is gone", "[A]\r\nk=x\x81\nj=2\r\n", "A", "j", ""},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(ReadIniValue(c.document, c.section, c.key), c.expected) << c.name;
  }
}

TEST(IniCodec, LongValuesAreCutAt10239BytesBetweenCharacters) {
  const std::string pair = "\xd2\xf4";  // 音
  std::string pairs;
  for (int i = 0; i < 6000; ++i) pairs += pair;
  const std::string ascii(12000, 'x');

  struct Case {
    const char* name;
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"ascii", ascii, ascii.substr(0, 10239)},
      {"exactly the limit", ascii.substr(0, 10239), ascii.substr(0, 10239)},
      {"pairs ending at an odd offset", "x" + pairs, ("x" + pairs).substr(0, 10239)},
      // 10239 would split the 5120th pair: its lead byte is left out too.
      {"pairs ending at an even offset", pairs, pairs.substr(0, 10238)},
      {"quotes removed before the cut", "\"" + ascii.substr(0, 10239) + "\"", ascii.substr(0, 10239)},
      {"quoted pairs", "\"" + pairs + "\"", pairs.substr(0, 10238)},
  };
  for (const Case& c : cases) {
    const std::string read = ReadIniValue("[L]\r\nv=" + c.value + "\r\n", "L", "v");
    EXPECT_EQ(read.size(), c.expected.size()) << c.name;
    EXPECT_EQ(read, c.expected) << c.name;
  }
}

struct WriteCase {
  const char* name;
  std::string document;
  std::string section;
  std::string key;
  std::string value;
  std::string expected;
};

TEST(IniCodec, WritesChangeOnlyTheLineConcerned) {
  const WriteCase cases[] = {
      {"rewrite in place keeps every other byte",
       "; top\r\n[A]\r\nx = 1\r\n  k =  old  \r\n\r\n[B]\r\nk=2\r\n", "A", "k", "new",
       "; top\r\n[A]\r\nx = 1\r\n  k =  new\r\n\r\n[B]\r\nk=2\r\n"},
      {"rewrite keeps the spelling of the name", "[Sounds]\r\nClip=1\r\n", "sounds", "CLIP", "2",
       "[Sounds]\r\nClip=2\r\n"},
      {"rewrite of an empty value", "[A]\r\nk=   \r\n", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"line without '=' gets one", "[A]\r\nk \r\n", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"empty value is kept as key=", "[A]\r\nk=1\r\n", "A", "k", "", "[A]\r\nk=\r\n"},
      {"empty value leaves no blanks after '='", "[A]\r\nk= \x1A 1 \r\n", "A", "k", "", "[A]\r\nk=\r\n"},
      {"new empty value", "[A]\r\n", "A", "k", "", "[A]\r\nk=\r\n"},
      {"new key after the last key line", "[A]\r\nk=1\r\n\r\n; about B\r\n[B]\r\nx=1\r\n", "A", "j", "2",
       "[A]\r\nk=1\r\nj=2\r\n\r\n; about B\r\n[B]\r\nx=1\r\n"},
      {"new key in a section without keys", "[A]\r\n; nothing yet\r\n[B]\r\n", "A", "k", "v",
       "[A]\r\nk=v\r\n; nothing yet\r\n[B]\r\n"},
      {"new key goes to the first section of the name", "[A]\r\nk=1\r\n[B]\r\n[a]\r\nz=1\r\n", "A", "z", "2",
       "[A]\r\nk=1\r\nz=2\r\n[B]\r\n[a]\r\nz=1\r\n"},
      {"new section at the end", "[A]\r\nk=1\r\n", "B", "k", "v", "[A]\r\nk=1\r\n[B]\r\nk=v\r\n"},
      {"new document", "", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"lf file stays lf", "[A]\nk=1\n", "A", "j", "2", "[A]\nk=1\nj=2\n"},
      {"lf file gets an lf section", "[A]\nk=1\n", "B", "j", "2", "[A]\nk=1\n[B]\nj=2\n"},
      {"cr file stays cr", "[A]\rk=1\r", "A", "j", "2", "[A]\rk=1\rj=2\r"},
      {"unterminated last line: new key", "[A]\r\nk=1", "A", "j", "2", "[A]\r\nk=1\r\nj=2"},
      {"unterminated last line: new section", "[A]\r\nk=1", "B", "j", "2", "[A]\r\nk=1\r\n[B]\r\nj=2"},
      {"unterminated header", "[A]", "A", "j", "2", "[A]\r\nj=2"},
      // A damaged file cut after a lead byte: that byte takes the first break as its trail.
      {"cut after a lead byte, LF: new section", "junk\n\xCB", "A", "k", "1", "junk\n\xCB\n\n[A]\nk=1"},
      {"cut after a lead byte, CRLF: new key", "[A]\r\nk=1\xB0", "A", "j", "2", "[A]\r\nk=1\xB0\r\n\r\nj=2"},
      {"names are normalized", "[A]\r\nk=1\r\n", " \x01 A \t", "\tk ", "2", "[A]\r\nk=2\r\n"},
      {"blanks kept by quoting", "[A]\r\n", "A", "k", " padded ", "[A]\r\nk=\" padded \"\r\n"},
      {"quotes kept by quoting", "[A]\r\n", "A", "k", "'q'", "[A]\r\nk=\"'q'\"\r\n"},
      {"lone quote needs no quoting", "[A]\r\n", "A", "k", "\"", "[A]\r\nk=\"\r\n"},
      {"gbk section, key and value", "[\xd2\xf4\xd0\xa7]\r\n\xd5\xc6\xc9\xf9=1\r\n", "\xd2\xf4\xd0\xa7",
       "\xd5\xc6\xc9\xf9", "D:\\\xd2\xf4\xd0\xa7\\\xd5\xc6\xc9\xf9.mp3",
       "[\xd2\xf4\xd0\xa7]\r\n\xd5\xc6\xc9\xf9=D:\\\xd2\xf4\xd0\xa7\\\xd5\xc6\xc9\xf9.mp3\r\n"},
      {"trail byte ']' in the section name", "[\x81\x5d]\r\nk=1\r\n", "\x81\x5d", "k", "2", "[\x81\x5d]\r\nk=2\r\n"},
      {"trail bytes keep their case", "[\x81\x41]\r\nk=1\r\n", "\x81\x61", "k", "2",
       "[\x81\x41]\r\nk=1\r\n[\x81\x61]\r\nk=2\r\n"},
  };
  for (const WriteCase& c : cases) {
    const std::optional<std::string> written = WriteIniValue(c.document, c.section, c.key, c.value);
    ASSERT_TRUE(written.has_value()) << c.name;
    EXPECT_EQ(*written, c.expected) << c.name;
    EXPECT_EQ(ReadIniValue(*written, c.section, c.key), c.value) << c.name << ": reads back";
    EXPECT_EQ(WriteIniValue(*written, c.section, c.key, c.value), written) << c.name << ": written again";
  }
}

// A sound back at its defaults has no line: removing a key takes every line of it
// from the first section of that name, and nothing else.
TEST(IniCodec, RemovesOnlyTheKeysLines) {
  const struct {
    const char* name;
    std::string document;
    std::string key;
    std::string expected;
  } cases[] = {
      {"middle line", "[A]\r\nx=1\r\nk=2\r\ny=3\r\n", "k", "[A]\r\nx=1\r\ny=3\r\n"},
      {"unterminated last line", "[A]\r\nx=1\r\nk=2", "k", "[A]\r\nx=1\r\n"},
      {"a later line of the key goes too", "[A]\r\nk=1\r\nx=2\r\nK = 3\r\n", "k", "[A]\r\nx=2\r\n"},
      {"a line without '=' is the key", "[A]\r\nk\r\nk=2\r\n", "k", "[A]\r\n"},
      {"other sections keep theirs", "[B]\r\nk=1\r\n[A]\r\nk=2\r\n[a]\r\nk=3\r\n", "k",
       "[B]\r\nk=1\r\n[A]\r\n[a]\r\nk=3\r\n"},
      {"missing key", "[A]\r\nx=1\r\n", "k", "[A]\r\nx=1\r\n"},
      {"missing section", "[B]\r\nk=1\r\n", "k", "[B]\r\nk=1\r\n"},
      {"a trail byte that looks like a line break stays", "[A]\r\nk=\x81\n\r\nx=1\r\n", "k", "[A]\r\nx=1\r\n"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> removed = RemoveIniValue(c.document, "A", c.key);
    ASSERT_TRUE(removed.has_value()) << c.name;
    EXPECT_EQ(*removed, c.expected) << c.name;
    EXPECT_EQ(ReadIniValue(*removed, "A", c.key), "") << c.name;
  }
  EXPECT_FALSE(RemoveIniValue("[A]\r\nk=1\r\n", "A", "k=j").has_value());
  EXPECT_FALSE(RemoveIniValue("[A]\r\nk=1\r\n", " ", "k").has_value());
}

TEST(IniCodec, RefusesWritesThatWouldNotReadBack) {
  struct Case {
    const char* name;
    std::string section;
    std::string key;
    std::string value;
  };
  const Case cases[] = {
      {"empty section", "", "k", "v"},
      {"blank section", " \t", "k", "v"},
      {"empty key", "A", "", "v"},
      {"'=' in the key", "A", "k=j", "v"},
      {"key starting with '['", "A", "[k]", "v"},
      // A line break in the value would start lines of its own, a section
      // header among them, and the rest of the file would be read under it.
      {"line feed in the value", "A", "k", "1\n[B]\nx=evil"},
      {"carriage return in the value", "A", "k", "1\r2"},
      {"line break in the section", "A\r\nB", "k", "v"},
      {"line break in the key", "A", "k\nj", "v"},
      {"zero byte in the value", "A", "k", "a\0b"s},
      {"value ending in a lead byte", "A", "k", "x\x81"},
  };
  const std::string document = "[A]\r\nk=1\r\n";
  for (const Case& c : cases) {
    EXPECT_FALSE(WriteIniValue(document, c.section, c.key, c.value).has_value()) << c.name;
  }
}

}  // namespace
}  // namespace kivora

namespace kivora {
namespace {

// Reading many keys in one walk gives what reading each key alone gives.
TEST(IniCodec, ManyKeysInOneWalkReadAsEachKeyAlone) {
  const std::string document =
      "[a]\r\nx=1\r\nY = 2 \r\nx=3\r\nnoequals\r\nnoequals=4\r\n[b]\r\nz=5\r\n[A]\r\nw=6\r\n\"q\"='7'\r\n";
  const std::vector<std::string_view> keys = {"x", "y", "noequals", "z", "w", "", "  x", "missing", "\"q\""};
  for (std::string_view section : {"a", "A", "b", " b", "c", ""}) {
    const std::vector<std::string> many = ReadIniValues(document, section, keys);
    ASSERT_EQ(many.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(many[i], ReadIniValue(document, section, keys[i])) << section << " / " << keys[i];
    }
  }
  EXPECT_EQ(ReadIniValues(document, "a", keys)[0], "1");
  EXPECT_EQ(ReadIniValues(document, "a", keys)[1], "2");
}

}  // namespace
}  // namespace kivora
