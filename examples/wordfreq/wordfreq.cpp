// wordfreq: counts the words of a text file without regard to letter case and
// reports the most frequent ones, then every distinct word in the order the
// map hands them back. ZAND_FILE reads the lines and writes the report,
// ZAND_OBJ_MAP counts, and a ZAND_OBJ_LIST keeps the counters the program
// owns, since containers never own (or delete) the objects they hold.
//
//   wordfreq [-n TOP] [-o REPORT] [TEXT]
#include <zand_stl/zand_stl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The value stored in the map: an object of the program's own class.
class WordCount : public ZAND_OBJ {
 public:
  long count = 0;
};

// Owns the counters: the map only points at them.
class Counters {
 public:
  Counters() = default;
  Counters(const Counters&) = delete;
  Counters& operator=(const Counters&) = delete;
  ~Counters() {
    while (!m_all.is_empty()) {
      delete m_all.remove_from_head();  // virtual destructor of ZAND_OBJ
    }
  }

  WordCount* make() {
    auto* counter = new WordCount;
    try {
      m_all.add_at_tail(counter);
    } catch (...) {
      delete counter;
      throw;
    }
    return counter;
  }

 private:
  ZAND_OBJ_LIST m_all;
};

struct Options {
  std::string input = WORDFREQ_SAMPLE_TEXT;
  std::string output;  // empty: standard output
  long top = 10;
};

const char kUsage[] =
    "usage: wordfreq [-n TOP] [-o REPORT] [TEXT]\n"
    "  Counts the words of TEXT (default: the bundled sample) without regard\n"
    "  to case and writes the TOP most frequent (default 10) and every\n"
    "  distinct word to REPORT (default: standard output).\n";

bool parse_count(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value > 0 && value <= 1000000;
}

// Returns 0 when the options are usable, otherwise the exit code.
int parse_options(int argc, char** argv, Options& options) {
  bool have_input = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return -1;
    }
    if ((arg == "-n" || arg == "-o") && i + 1 >= argc) {
      std::fprintf(stderr, "wordfreq: %s needs a value\n%s", arg.c_str(),
                   kUsage);
      return 2;
    }
    if (arg == "-n") {
      if (!parse_count(argv[++i], options.top)) {
        std::fprintf(stderr,
                     "wordfreq: -n wants a whole number from 1 to "
                     "1000000, not '%s'\n",
                     argv[i]);
        return 2;
      }
    } else if (arg == "-o") {
      options.output = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "wordfreq: unknown option '%s'\n%s", arg.c_str(),
                   kUsage);
      return 2;
    } else if (have_input) {
      std::fprintf(stderr, "wordfreq: only one input file, please\n%s", kUsage);
      return 2;
    } else {
      options.input = arg;
      have_input = true;
    }
  }
  return 0;
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool has_letter(const std::string& word) {
  return std::any_of(word.begin(), word.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

// Strips the punctuation around a word ("said," and "(the" count as "said"
// and "the"); apostrophes inside a word stay.
std::string strip_punctuation(std::string word) {
  static const char kMarks[] = ".,;:!?\"'()[]{}-";
  std::string before;
  while (before != word) {
    before = word;
    for (const char* mark = kMarks; *mark != '\0'; ++mark) {
      word = trim_right_char(trim_left_char(word, *mark), *mark);
    }
  }
  return word;
}

struct Tally {
  ZAND_OBJ_MAP words;
  Counters counters;
  long total = 0;

  void count_line(const std::string& line) {
    std::size_t pos = 0;
    while (pos < line.size()) {
      while (pos < line.size() && is_space(line[pos])) {
        ++pos;
      }
      std::size_t end = pos;
      while (end < line.size() && !is_space(line[end])) {
        ++end;
      }
      const std::string word = strip_punctuation(line.substr(pos, end - pos));
      pos = end;
      if (!has_letter(word)) {
        continue;  // numbers and stray marks are not words
      }
      // A stored counter is never null, so null means a new word. The map
      // keeps the form in which a word was first seen.
      auto* counter = dynamic_cast<WordCount*>(words.look_up(word));
      if (counter == nullptr) {
        counter = counters.make();
        words.set_at(word, counter);
      }
      ++counter->count;
      ++total;
    }
  }
};

// Reads the whole file line by line. read_string hands a line longer than
// its buffer back in pieces of BUFFER_MAX_SIZE - 1 bytes, joined here before
// the line is split into words; a piece that ends with the line feed, or is
// shorter than that, ends its line. A shorter piece without a line feed is
// the file's last line, or was cut at a NUL byte: read_string drops the
// bytes from the NUL to the end of that piece (its line feed, or where its
// buffer filled, after which the rest of the line counts as a line of its
// own), so those words are lost. Returns 0, or the errno value that says why
// the file could not be read.
int read_words(const std::string& path, Tally& tally) {
  ZAND_FILE in;
  errno = 0;
  if (!in.open_file(path,
                    ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE)) {
    return errno != 0 ? errno : EIO;
  }
  // read_string answers false at the end of the file and on a read error
  // alike; only the error sets errno. Linux opens a directory, for one, and
  // fails its first read with EISDIR.
  const std::size_t full_piece = ZAND_FILE::BUFFER_MAX_SIZE - 1;
  std::string piece;
  std::string line;
  errno = 0;
  while (in.read_string(piece)) {
    line += piece;
    if (piece.size() < full_piece || piece.back() == '\n') {
      tally.count_line(line);
      line.clear();
    }
    errno = 0;  // only the read that ends the loop may leave a value
  }
  if (errno != 0) {
    return errno;
  }
  tally.count_line(line);  // a last line without a line feed
  return 0;
}

std::string format_report(const Options& options, Tally& tally) {
  // The walk: reset, then get_next_entry until null (no value is null here).
  std::vector<std::pair<long, std::string>> ranked;
  std::vector<std::string> walk_order;
  tally.words.reset_iterator();
  std::string key;
  while (ZAND_OBJ* value = tally.words.get_next_entry(key)) {
    ranked.emplace_back(static_cast<WordCount*>(value)->count, key);
    walk_order.push_back(key);
  }
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) {
      return a.first > b.first;
    }
    return to_lower_case(a.second) < to_lower_case(b.second);
  });

  std::string report = "wordfreq: " + options.input + "\n";
  report += "  words: " + std::to_string(tally.total) +
            ", distinct: " + std::to_string(tally.words.size()) + "\n\n";
  const std::size_t top =
      std::min(ranked.size(), static_cast<std::size_t>(options.top));
  report += "Top " + std::to_string(top) + " words:\n";
  for (std::size_t i = 0; i < top; ++i) {
    std::string count = std::to_string(ranked[i].first);
    report += std::string(count.size() < 9 ? 9 - count.size() : 0, ' ') +
              count + "  " + ranked[i].second + "\n";
  }
  report += "\nDistinct words in walk order:\n";
  std::string row = " ";
  for (const std::string& word : walk_order) {
    if (row.size() + 1 + word.size() > 72) {
      report += row + "\n";
      row = " ";
    }
    row += " " + word;
  }
  if (row.size() > 1) {
    report += row + "\n";
  }
  return report;
}

// Returns 0, or the errno value that says why the report was not written.
int write_report(const Options& options, const std::string& report) {
  errno = 0;
  bool written = false;
  if (options.output.empty()) {
    // The object takes the handle into its care; the program does not own
    // standard output, so it makes the object forget the handle before the
    // destructor would close it. Flushed here, so that a full disk shows.
    ZAND_FILE out(stdout);
    written = out.write_string(report) && std::fflush(stdout) == 0;
    out = ZAND_FILE();
  } else {
    ZAND_FILE out;
    written = out.open_file(options.output, ZAND_FILE::OPEN_WRITE_ONLY |
                                                ZAND_FILE::OPEN_TEXT_MODE) &&
              out.write_string(report);
  }
  return written ? 0 : errno != 0 ? errno : EIO;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = parse_options(argc, argv, options); status != 0) {
    return status < 0 ? 0 : status;
  }
  Tally tally;
  if (const int error = read_words(options.input, tally); error != 0) {
    std::fprintf(stderr, "wordfreq: cannot read '%s': %s\n",
                 options.input.c_str(), std::strerror(error));
    return 1;
  }
  const std::string report = format_report(options, tally);
  if (const int error = write_report(options, report); error != 0) {
    std::fprintf(
        stderr, "wordfreq: cannot write the report to '%s': %s\n",
        options.output.empty() ? "standard output" : options.output.c_str(),
        std::strerror(error));
    return 1;
  }
  return 0;
}
