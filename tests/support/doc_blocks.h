// Documents written from a table in the code, between marker lines or whole: the helpers that
// the settings docs and the CLI's docs share. With --check nothing is written, and the writer
// fails while a document is not what it would write.
#pragma once

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace linepeek {

// `help` with each `code` span (or span between two `mark`s) put between `open` and `close`.
inline std::string markup(std::string_view help, std::string_view open, std::string_view close,
                          char mark = '`') {
  std::string out;
  bool inside = false;
  for (char c : help) {
    if (c == mark) {
      out += inside ? close : open;
      inside = !inside;
    } else {
      out += c;
    }
  }
  return out;
}

// `text` in lines of at most `width` bytes where the words allow, each begun with `lead`.
inline std::string wrap(const std::string& text, const std::string& lead, std::size_t width) {
  std::string out;
  std::string line;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!line.empty() && lead.size() + line.size() + 1 + word.size() > width) {
      out += lead + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + lead + line + "\n";
}

// Roff text: code in bold (and, with `italic`, each span between two of them in italics), each
// sentence on lines of its own, and no line that reads as a request.
inline std::string roff(std::string_view help, char italic = '\0') {
  std::string escaped;
  for (std::size_t i = 0; i < help.size(); ++i) {
    if (help[i] == '\\') {
      escaped += "\\e";
      continue;
    }
    if ((help[i] == '.' || help[i] == '\'') && (i == 0 || help[i - 1] == ' ')) escaped += "\\&";
    escaped += help[i];
  }
  std::string text = markup(escaped, "\\fB", "\\fR");
  if (italic != '\0') text = markup(text, "\\fI", "\\fR", italic);
  std::string out;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t stop = text.find(". ", start);
    const std::size_t end = stop == std::string::npos ? text.size() : stop + 1;
    out += wrap(text.substr(start, end - start), "", 80);
    start = end + 1;
  }
  return out;
}

struct Document {
  const char* path;
  // The lines around the generated block; empty when the whole file is generated.
  std::string begin;
  std::string end;
  std::string text;
  // The table it is written from, and the build target that writes it.
  std::string_view source;
  std::string_view target;
};

// How a document's comment lines start and end.
enum class Comment { Markdown, Roff, Shell, IndentedShell };

// A block between the marker lines "Generated from <source>: cmake --build <build> --target
// <target><suffix>" and "End of the generated <what><suffix>", in the document's comment form.
inline Document generatedBlock(const char* path, Comment comment, std::string_view source,
                               std::string_view target, std::string_view what, std::string text,
                               std::string_view suffix = "") {
  const char* const opens[] = {"<!-- ", ".\\\" ", "# ", "  # "};
  const std::string open = opens[static_cast<int>(comment)];
  const std::string close = comment == Comment::Markdown ? " -->" : "";
  const std::string tail = std::string(suffix) + close;
  return {path,
          open + "Generated from " + std::string(source) + ": cmake --build <build> --target " +
              std::string(target) + tail,
          open + "End of the generated " + std::string(what) + tail,
          std::move(text),
          source,
          target};
}

// `old` with its generated block replaced; empty when the marker lines are missing.
inline std::string withBlock(const std::string& old, const Document& document) {
  if (document.begin.empty()) return document.text;
  const std::string begin = document.begin + "\n";
  const std::size_t from = old.find(begin);
  const std::size_t to = old.find(document.end + "\n", from);
  if (from == std::string::npos || to == std::string::npos) return "";
  return old.substr(0, from + begin.size()) + document.text + old.substr(to);
}

// Writes (or with `check` compares) each document under the folder `root`. Answers the exit
// status.
inline int writeDocuments(const char* root, const std::vector<Document>& documents, bool check) {
  int status = 0;
  for (const Document& document : documents) {
    const std::string path = std::string(root) + "/" + document.path;
    std::ifstream in(path, std::ios::binary);
    const std::string old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string updated = withBlock(old, document);
    if (updated.empty()) {
      std::cerr << path << ": no lines \"" << document.begin << "\" and \"" << document.end
                << "\" around the generated block\n";
      return 2;
    }
    if (updated == old) continue;
    if (check) {
      std::cerr << document.path << " is not what " << document.source << " gives; write it "
                << "again with: cmake --build <build> --target " << document.target << "\n";
      status = 1;
    } else if (!(std::ofstream(path, std::ios::binary) << updated)) {
      std::cerr << "cannot write " << path << "\n";
      return 2;
    } else {
      std::cout << "wrote " << document.path << "\n";
    }
  }
  return status;
}

// The writer's main: `<program> <source folder> [--check]`.
inline int writeDocumentsMain(int argc, char** argv, const char* program,
                              const std::vector<Document>& documents) {
  const bool check = argc == 3 && std::string_view(argv[2]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "usage: " << program << " <source folder> [--check]\n";
    return 2;
  }
  return writeDocuments(argv[1], documents, check);
}

} // namespace linepeek
