#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli/fields.h"
#include "cli/format.h"
#include "cli/host_module.h"
#include "cli/input_buffer.h"
#include "cli/listing.h"
#include "cli/options.h"
#include "cli/summary.h"
#include "cli/text.h"

namespace linepeek::cli {
namespace {

// Conversions: surrogates, ill-formed input, escaped bytes.
TEST(Text, Utf16ToUtf8) {
  struct Row {
    std::u16string input;
    std::string expected;
  } rows[] = {
      {u"abc", "abc"},
      {u"\u00e9\u6f22", "\xc3\xa9\xe6\xbc\xa2"},
      {{0xD83D, 0xDE00}, "\xf0\x9f\x98\x80"},
      {{u'a', 0xD83D}, "a\xef\xbf\xbd"}, // lone high surrogate at the end
      {{0xDE00, u'b'},
       "\xef\xbf\xbd"
       "b"}, // lone low surrogate
      {{0xD83D, 0xD83D, 0xDE00}, "\xef\xbf\xbd\xf0\x9f\x98\x80"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(utf16ToUtf8(row.input), row.expected);
}

TEST(Text, Utf8ToUtf16EscapesOrReplacesBadBytes) {
  EXPECT_EQ(utf8ToUtf16("a\xff"
                        "b",
                        true),
            (std::u16string{u'a', 0xDCFF, u'b'}));
  EXPECT_EQ(utf8ToUtf16("a\xff"
                        "b",
                        false),
            u"a\uFFFDb");
  EXPECT_EQ(utf8ToUtf16("\xf0\x9f\x98\x80", true), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(utf8ToUtf16("\xc0\x80", true), (std::u16string{0xDCC0, 0xDC80})); // overlong
}

TEST(Text, ValidUtf8) {
  struct Row {
    std::string input;
    std::string expected;
  } rows[] = {
      {"plain", "plain"},
      {"\xc3\xa9", "\xc3\xa9"},
      {"\xc3", "\xef\xbf\xbd"},                                 // cut sequence
      {"\xe2\x82z", "\xef\xbf\xbdz"},                           // a cut sequence is one subpart
      {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}, // encoded surrogate
      {"\xf4\x90\x80\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}, // > U+10FFFF
      {"a\x80z", "a\xef\xbf\xbdz"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(validUtf8(row.input), row.expected) << row.input;
}

// Display: widths and what a terminal must never receive.
TEST(Text, DisplayWidth) {
  struct Row {
    std::string text;
    int width;
  } rows[] = {
      {"", 0},
      {"abc", 3},
      {"\xe6\xbc\xa2\xe5\xad\x97", 4}, // two CJK ideographs
      {"e\xcc\x81", 1},                // e + combining acute
      {"\xef\xbc\xa1", 2},             // fullwidth A
      {"\xf0\x9f\x98\x80", 2},         // emoji
      {"\xe2\x80\x8b", 0},             // zero width space
      {"\xe2\x94\x80", 1},             // box drawing is narrow
      {"\xd0\x96", 1},                 // Cyrillic
  };
  for (const Row& row : rows)
    EXPECT_EQ(displayWidth(row.text), row.width) << row.text;
}

TEST(Text, DisplayTextNeutralisesControls) {
  struct Row {
    std::string input;
    std::string expected;
  } rows[] = {
      {"a\tb", "a\xe2\x90\x89"
               "b"},                          // TAB -> U+2409
      {"\x1b[31m", "\xe2\x90\x9b[31m"},       // ESC -> U+241B
      {std::string("\0", 1), "\xe2\x90\x80"}, // NUL -> U+2400
      {"\x7f", "\xe2\x90\xa1"},               // DEL -> U+2421
      {"\xc2\x9b", "\xef\xbf\xbd"},           // C1 CSI
      {"x\xe2\x80\xaey", "x\xef\xbf\xbdy"},   // right-to-left override
      {"\xff", "\xef\xbf\xbd"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(displayText(row.input), row.expected) << row.input;
}

TEST(Text, FitToWidth) {
  struct Row {
    std::string text;
    int width;
    std::string expected;
  } rows[] = {
      {"abcdef", 0, "abcdef"},
      {"abcdef", 6, "abcdef"},
      {"abcdef", 5, "abcd\xe2\x80\xa6"},
      {"abcdef", 1, "\xe2\x80\xa6"},
      {"a\xe6\xbc\xa2\xe5\xad\x97", 4, "a\xe6\xbc\xa2\xe2\x80\xa6"}, // 5 columns into 4
      {"a\xe6\xbc\xa2\xe5\xad\x97", 3, "a\xe2\x80\xa6"},             // no half ideograph
      {"ae\xcc\x81xyz", 3, "ae\xcc\x81\xe2\x80\xa6"},                // mark stays with e
  };
  for (const Row& row : rows) {
    EXPECT_EQ(fitToWidth(row.text, row.width), row.expected) << row.text << " " << row.width;
    if (row.width > 0) {
      EXPECT_LE(displayWidth(fitToWidth(row.text, row.width)), row.width);
    }
  }
}

// Escaping of the data formats.
TEST(Format, FieldEscaping) {
  struct Row {
    std::string input;
    std::string csv;
    std::string tsv;
    std::string json;
  } rows[] = {
      {"plain", "plain", "plain", "\"plain\""},
      {"a,b", "\"a,b\"", "a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\tb", "a\tb", "a\\tb", "\"a\\tb\""},
      {"a\nb", "\"a\nb\"", "a\\nb", "\"a\\nb\""},
      {"a\rb", "\"a\rb\"", "a\\rb", "\"a\\rb\""},
      {"c:\\x", "c:\\x", "c:\\\\x", "\"c:\\\\x\""},
      {"\x01\x1b", "\x01\x1b", "\x01\x1b", "\"\\u0001\\u001b\""},
      {"\x7f\xc3\xa9", "\x7f\xc3\xa9", "\x7f\xc3\xa9", "\"\x7f\xc3\xa9\""},
      {"bad\xff", "bad\xff", "bad\xff", "\"bad\xef\xbf\xbd\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(csvField(row.input), row.csv);
    EXPECT_EQ(tsvField(row.input), row.tsv);
    EXPECT_EQ(jsonString(row.input), row.json);
  }
}

std::string render(OutputFormat format, int width, const std::vector<Column>& columns,
                   const std::vector<std::vector<Value>>& rows) {
  std::string out;
  Formatter formatter(format, width, [&](std::string_view text) { out += text; });
  formatter.begin(columns);
  for (const auto& row : rows)
    formatter.row(row);
  formatter.finish();
  return out;
}

TEST(Format, Documents) {
  const std::vector<Column> columns{{"path", false}, {"1", true}, {"N", true}};
  const std::vector<std::vector<Value>> rows{
      {Value::ofText("a,b"), Value::ofText("\xe6\xbc\xa2\xe5\xad\x97"), Value::ofNumber(7)},
      {Value::ofText("long name"), Value{}, Value::ofNumber(-12)},
  };
  std::vector<Column> fitted = columns;
  fitColumns(fitted, rows, 0);
  EXPECT_EQ(render(OutputFormat::Table, 0, fitted, rows),
            "path       1       N\n"
            "a,b        \xe6\xbc\xa2\xe5\xad\x97    7\n"
            "long name        -12\n");
  // A streamed table pads to the widths known at the start; a wider cell widens its row only.
  const std::vector<Column> known{{"path", false, 4}, {"1", true, 3}, {"N", false, 3, true}};
  EXPECT_EQ(render(OutputFormat::Table, 3, known,
                   {{Value::ofText("ab"), Value::ofText("abcdef"), Value::ofNumber(5)},
                    {Value::ofText("abcdef"), Value{}, Value::ofNumber(12345)}}),
            "path  1      N\nab    ab\xe2\x80\xa6    5\nabcdef       12345\n");
  EXPECT_EQ(render(OutputFormat::Csv, 0, columns, rows),
            "path,1,N\r\n\"a,b\",\xe6\xbc\xa2\xe5\xad\x97,7\r\nlong name,,-12\r\n");
  EXPECT_EQ(render(OutputFormat::Tsv, 0, columns, rows),
            "path\t1\tN\na,b\t\xe6\xbc\xa2\xe5\xad\x97\t7\nlong name\t\t-12\n");
  EXPECT_EQ(render(OutputFormat::Json, 0, columns, rows),
            "[\n  {\"path\": \"a,b\", \"1\": \"\xe6\xbc\xa2\xe5\xad\x97\", \"N\": 7},\n"
            "  {\"path\": \"long name\", \"1\": null, \"N\": -12}\n]\n");
  EXPECT_EQ(render(OutputFormat::Json, 0, columns, {}), "[]\n");
  EXPECT_EQ(render(OutputFormat::Table, 0, columns, {}), "path  1  N\n");
}

// Field selection against a catalogue like the module's.
std::vector<FieldInfo> catalogue() {
  return {{0, "1", 11, "win|dos|auto"},
          {1, "-1", 11, "win|dos|auto"},
          {2, "Line count", 2, ""},
          {3, "Encoding", 7, "ANSI|DOS"},
          {4, "Type", 7, "Folder|Binary|Text"}};
}

TEST(Fields, Selection) {
  const auto fields = catalogue();
  struct Row {
    std::string list;
    bool isDefault;
    std::string unit;
    std::vector<std::pair<int, int>> expected; // field index, unit index
    std::string errorPart;                     // empty when it must succeed
  } rows[] = {
      {"Type,Encoding,Line count,1,-1", true, "", {{4, 0}, {3, 0}, {2, 0}, {0, 0}, {1, 0}}, ""},
      {"Type,Size,1", true, "", {{4, 0}, {0, 0}}, ""},
      {"Size", true, "", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, ""},
      {"Type,Size", false, "", {}, "unknown field 'Size'"},
      {" line COUNT , 1,1 ", false, "", {{2, 0}, {0, 0}}, ""},
      {"all", false, "dos", {{0, 1}, {1, 1}, {2, 0}, {3, 0}, {4, 0}}, ""},
      {"Type", false, "dos", {{4, 0}}, ""},
      {"1", false, "win", {{0, 0}}, ""},
      {"1,-1", false, "DOS", {{0, 1}, {1, 1}}, ""},
      {"1", false, "Auto", {{0, 2}}, ""},
      {"1", false, "Text", {}, "unknown unit 'Text'"}, // choices are not units
      {",", false, "", {}, "no field"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list + " / " + row.unit);
    std::vector<SelectedField> selected;
    std::string error;
    const bool ok = selectFields(row.list, row.isDefault, row.unit, fields, selected, error);
    if (!row.errorPart.empty()) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(row.errorPart), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    std::vector<std::pair<int, int>> got;
    for (const SelectedField& field : selected)
      got.emplace_back(field.info->index, field.unitIndex);
    EXPECT_EQ(got, row.expected);
  }
}

// The command line.
TEST(Options, Parsing) {
  struct Row {
    std::vector<std::string> args;
    bool ok;
    std::string check; // a compact view of the parsed options
  } rows[] = {
      {{}, true, "f=|0 u= o=0 w=40 r=0 p="},
      {{"-r", "-f", "1,2", "a", "b"}, true, "f=1,2|1 u= o=0 w=40 r=1 p=a;b;"},
      {{"-rfall", "-udos", "-ojson"}, true, "f=all|1 u=dos o=3 w=40 r=1 p="},
      {{"--fields=Line count", "--unit", "win", "--width=0"},
       true,
       "f=Line count|1 u=win o=0 w=0 r=0 p="},
      {{"--", "-r", "--help"}, true, "f=|0 u= o=0 w=40 r=0 p=-r;--help;"},
      {{"-", "-o", "tsv"}, true, "f=|0 u= o=2 w=40 r=0 p=-;"},
      {{"-f"}, false, ""},
      {{"--fields"}, false, ""},
      {{"-x"}, false, ""},
      {{"--recursive=yes"}, false, ""},
      {{"--width", "12x"}, false, ""},
      {{"--width", "-1"}, false, ""},
      {{"-o", "yaml"}, false, ""},
      {{"--module="}, false, ""},
  };
  for (const Row& row : rows) {
    std::string joined;
    for (const auto& arg : row.args)
      joined += arg + " ";
    SCOPED_TRACE(joined);
    Options options;
    std::string error;
    ASSERT_EQ(parseOptions(row.args, options, error), row.ok) << error;
    if (!row.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    std::string paths;
    for (const auto& path : options.paths)
      paths += path + ";";
    EXPECT_EQ("f=" + options.fields + "|" + std::to_string(options.fieldsGiven) +
                  " u=" + options.unit + " o=" + std::to_string(static_cast<int>(options.format)) +
                  " w=" + std::to_string(options.cellWidth) +
                  " r=" + std::to_string(options.recursive) + " p=" + paths,
              row.check);
  }
}

// Listing order and shown paths.
TEST(Listing, NameOrderIgnoresAsciiCaseThenBytes) {
  std::vector<std::string> names{"b.txt", "B.txt", "a10", "A2", "_x", "\xc3\xa9", "Zeta", "a1"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return nameLess(a, b); });
  EXPECT_EQ(names, (std::vector<std::string>{"_x", "a1", "a10", "A2", "B.txt", "b.txt", "Zeta",
                                             "\xc3\xa9"}));
}

TEST(Listing, JoinShown) {
  EXPECT_EQ(joinShown("", "x", '/'), "x");
  EXPECT_EQ(joinShown("dir", "x", '/'), "dir/x");
  EXPECT_EQ(joinShown("dir/", "x", '/'), "dir/x");
  EXPECT_EQ(joinShown("c:\\dir", "x", '\\'), "c:\\dir\\x");
  EXPECT_EQ(joinShown("c:\\dir\\", "x", '\\'), "c:\\dir\\x");
}

// The module beside the program wins over the package layout; a missing one is still named.
TEST(HostModule, DefaultModulePath) {
  const std::string name = defaultModuleName();
  ASSERT_TRUE(name == "linepeek.so" || name == "linepeek.dll") << name;
  const std::string beside = "/opt/lp/bin/" + name;
  const std::string installed = "/opt/lp/bin/../lib/linepeek/" + name;
  struct Row {
    std::string folder;
    std::set<std::string> existing;
    std::string expected;
  } rows[] = {
      {"/opt/lp/bin", {beside, installed}, beside},
      {"/opt/lp/bin", {installed}, installed},
      {"/opt/lp/bin", {}, beside},
      {"", {name}, name},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder + " with " + std::to_string(row.existing.size()) + " present");
    EXPECT_EQ(
        defaultModulePath(row.folder,
                          [&](const std::string& path) { return row.existing.count(path) != 0; }),
        row.expected);
  }
}

// Row conditions: parsing against the catalogue, then which cells they keep.
TEST(Fields, Where) {
  const auto fields = catalogue();
  const Value none;
  const Value text = Value::ofText("Text");
  const Value dos = Value::ofText("DOS");
  const Value seven = Value::ofNumber(7);
  struct Row {
    std::string condition;
    std::string errorPart;          // empty when it must parse
    std::vector<const Value*> kept; // of none, text, dos, seven
  } rows[] = {
      {"Type=Text", "", {&text}},
      {" type = text , folder ", "", {&text}},
      {"Type!=Text", "", {&none, &dos, &seven}},
      {"Type=", "", {&none}},
      {"Type!=", "", {&text, &dos, &seven}},
      {"Encoding=dos,", "", {&none, &dos}},
      {"Line count=7", "", {&seven}},
      {"Line count!=0", "", {&none, &text, &dos, &seven}},
      {"1=Text", "", {&text}},
      {"1=text", "", {&text}}, // a text matches ignoring case
      {"Size=1", "unknown field 'Size'; the module offers \"1\", \"-1\"", {}},
      {"Type=Txt",
       "'Txt' is not a choice of 'Type'; its choices are \"Folder\", \"Binary\", \"Text\"",
       {}},
      {"Type", "--where needs FIELD=VALUE", {}},
      {"=Text", "--where needs FIELD=VALUE", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.condition);
    Condition condition;
    std::string error;
    const bool ok = parseCondition(row.condition, fields, condition, error);
    if (!row.errorPart.empty()) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(row.errorPart), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    std::vector<const Value*> kept;
    for (const Value* cell : {&none, &text, &dos, &seven})
      if (conditionHolds(condition, *cell)) kept.push_back(cell);
    EXPECT_EQ(kept, row.kept);
  }
}

// Summary counts of rows, and their form in each format.
TEST(Summary, CountsTheRows) {
  const auto fields = catalogue();
  Summary summary;
  summary.addField(fields[4], 1); // Type
  summary.addField(fields[2], 0); // Line count
  summary.add(true, {Value{}, Value::ofText("Folder")});
  summary.add(false, {Value::ofNumber(3), Value::ofText("Text")});
  summary.add(false, {Value::ofNumber(4), Value::ofText("Text")});
  summary.add(false, {Value{}, Value{}});                               // unreadable
  summary.add(false, {Value::ofNumber(1), Value::ofText("Elsewhere")}); // not a choice
  std::vector<std::string> got;
  for (const SummaryLine& line : summary.lines())
    got.push_back(line.name + "/" + line.value + "=" + std::to_string(line.count));
  EXPECT_EQ(got, (std::vector<std::string>{"files/=4", "folders/=1", "Type/Folder=1", "Type/Text=2",
                                           "Type/Elsewhere=1", "Line count/=8"}));
}

TEST(Format, Summary) {
  const std::vector<SummaryLine> lines{
      {"files", "", 2}, {"folders", "", 0}, {"Type", "Text", 2}, {"Line count", "", 9}};
  const auto render = [&](OutputFormat format, bool withRows) {
    std::string out;
    Formatter formatter(format, 0, [&](std::string_view text) { out += text; });
    if (withRows) {
      formatter.begin({{"path", false}}, true);
      formatter.row({Value::ofText("a")});
      formatter.finish();
    }
    formatter.summary(lines);
    return out;
  };
  EXPECT_EQ(render(OutputFormat::Json, true),
            "{\"rows\": [\n  {\"path\": \"a\"}\n],\n\"summary\": {\"files\": 2, \"folders\": 0, "
            "\"Type\": {\"Text\": 2}, \"Line count\": 9}}\n");
  EXPECT_EQ(render(OutputFormat::Json, false), "{\"summary\": {\"files\": 2, \"folders\": 0, "
                                               "\"Type\": {\"Text\": 2}, \"Line count\": 9}}\n");
  EXPECT_EQ(render(OutputFormat::Csv, true), "path\r\na\r\n\r\nSummary,Value,Count\r\nfiles,,2\r\n"
                                             "folders,,0\r\nType,Text,2\r\nLine count,,9\r\n");
  EXPECT_EQ(render(OutputFormat::Table, false), "Summary     Value  Count\n"
                                                "files                  2\n"
                                                "folders                0\n"
                                                "Type        Text       2\n"
                                                "Line count             9\n");
}

// Path lists: separators, a CR before LF, empty names, input that arrives in pieces.
TEST(Listing, ReadPathList) {
  struct Row {
    std::string input;
    char separator;
    std::vector<std::string> expected;
  } rows[] = {
      {"a\nb c\r\n\n\r\nd", '\n', {"a", "b c", "d"}},
      {std::string("a\0b\nc\0\0", 7), '\0', {"a", "b\nc"}},
      {std::string("x\r\0", 3), '\0', {"x\r"}},
      {"", '\n', {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    std::size_t offset = 0;
    InputBuffer input([&](char* buffer, std::size_t size) -> std::ptrdiff_t {
      const std::size_t count = std::min<std::size_t>({size, 2, row.input.size() - offset});
      std::copy_n(row.input.data() + offset, count, buffer);
      offset += count;
      return static_cast<std::ptrdiff_t>(count);
    });
    std::vector<std::string> names;
    EXPECT_TRUE(readPathList(input, row.separator, [&](const std::string& name) {
      names.push_back(name);
      return true;
    }));
    EXPECT_EQ(names, row.expected);
  }
  InputBuffer failing([](char*, std::size_t) -> std::ptrdiff_t { return -1; });
  EXPECT_FALSE(readPathList(failing, '\n', [](const std::string&) { return true; }));
}

TEST(Options, TreeOptions) {
  struct Row {
    std::vector<std::string> args;
    std::string check; // empty: a usage error
  } rows[] = {
      {{"--summary", "--where", "Type=Text", "--where=Encoding!=DOS"},
       "s=1 o=0 w=Type=Text;Encoding!=DOS; l= 0=0 j=0"},
      {{"--summary-only", "-j3"}, "s=1 o=1 w= l= 0=0 j=3"},
      {{"--files-from", "-", "-0r", "--jobs=64"}, "s=0 o=0 w= l=- 0=1 j=64"},
      {{"--jobs", "0"}, ""},
      {{"-j", "65"}, ""},
      {{"-0"}, ""},
      {{"--files-from", "list", "path"}, ""},
      {{"--files-from="}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.front());
    Options options;
    std::string error;
    const bool ok = parseOptions(row.args, options, error);
    ASSERT_EQ(ok, !row.check.empty()) << error;
    if (!ok) continue;
    std::string conditions;
    for (const std::string& condition : options.conditions)
      conditions += condition + ";";
    EXPECT_EQ("s=" + std::to_string(options.summary) + " o=" + std::to_string(options.summaryOnly) +
                  " w=" + conditions + " l=" + options.filesFrom + " 0=" +
                  std::to_string(options.nullSeparated) + " j=" + std::to_string(options.jobs),
              row.check);
  }
  EXPECT_GE(defaultJobs(), 1);
  EXPECT_LE(defaultJobs(), 8);
}

} // namespace
} // namespace linepeek::cli
