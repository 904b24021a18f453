// Parsing the corpus source texts and assembling the "pc.bin" and "cc.bin" images.
#include "generation/corpus_source.h"

#include "generation/progression_corpus.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace quillex {
namespace {

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r')) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t' && text[pos] != '\r') ++pos;
        if (pos > start) words.emplace_back(text.substr(start, pos - start));
    }
    return words;
}

// Calls `onLine(number, text)` for each line that is neither blank nor a comment.
template <typename OnLine>
void forEachContentLine(std::string_view text, OnLine onLine) {
    int number = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const auto end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        ++number;
        const auto first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != '#') onLine(number, line);
        if (end == text.size()) break;
        pos = end + 1;
    }
}

std::string lineError(int number, std::string_view reason) {
    return std::to_string(number) + ": " + std::string(reason);
}

std::uint8_t capAt255(std::size_t value) { return static_cast<std::uint8_t>(std::min<std::size_t>(value, 255)); }

SourceProgression toSourceProgression(const ProgressionSourceRecord& record) {
    SourceProgression out;
    out.romanTokens = record.tokens;
    deriveNumeralShape(out);
    out.modeFamily = record.modeFamily;
    out.subcategory = record.subcategory;
    out.minorScaleType = record.minorScaleType;
    out.sourceRoman = record.sourceTokens.empty() ? record.tokens : record.sourceTokens;
    out.sourceLength = capAt255(out.sourceRoman.size());
    return out;
}

// Normalises each row of counts into conditional weights.
template <typename Key, typename Row>
void addRows(const std::map<Key, std::map<std::string, double>>& rows, Row&& addRecord) {
    for (const auto& [key, followers] : rows) {
        double total = 0.0;
        for (const auto& [token, count] : followers) total += count;
        if (total <= 0.0) continue;
        for (const auto& [token, count] : followers) {
            if (count > 0.0) addRecord(key, token, static_cast<float>(count / total));
        }
    }
}

bool hasAccidentalGlyphForm(std::string_view token) { return glyphRomanToken(token) != token; }

// A file that cannot be read is an error of the sources, never an empty file.
std::string readText(const std::filesystem::path& path, std::vector<std::string>& errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back(path.string() + ": cannot be read");
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::filesystem::path> textFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

CorpusSources readCorpusSources(const std::string& folder) {
    const std::filesystem::path root(folder);
    CorpusSources sources;
    for (const auto& file : textFilesIn(root / "progressions")) {
        const std::string genre = file.stem().string();
        if (normalizeGenreId(genre) != genre) {
            sources.errors.push_back(file.string() + ": a style file is named by its normalised id");
            continue;
        }
        std::vector<std::string> errors;
        auto records = parseProgressionSource(genre, readText(file, errors), errors);
        for (const auto& error : errors) sources.errors.push_back(file.string() + ":" + error);
        sources.records.insert(sources.records.end(), records.begin(), records.end());
    }
    for (const auto& file : textFilesIn(root / "transitions")) {
        std::vector<std::string> errors;
        parseTransitionCounts(readText(file, errors), sources.counts, errors);
        for (const auto& error : errors) sources.errors.push_back(file.string() + ":" + error);
    }
    std::set<std::string> counted;
    std::istringstream styles(readText(root / "transition-styles.txt", sources.errors));
    for (std::string line; std::getline(styles, line);) {
        if (line.empty() || line[0] == '#') continue;
        counted.insert(normalizeGenreId(line));
    }
    for (const auto& record : sources.records) {
        if (counted.count(record.genreId) != 0) addProgressionTransitions(sources.counts, record.tokens);
    }
    return sources;
}

std::vector<ProgressionSourceRecord> parseProgressionSource(std::string_view genreId, std::string_view text,
                                                            std::vector<std::string>& errors) {
    std::vector<ProgressionSourceRecord> records;
    forEachContentLine(text, [&](int number, std::string_view line) {
        const auto note = line.find(';');
        if (note != std::string_view::npos) line = line.substr(0, note);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            errors.push_back(lineError(number, "missing ':' before the tokens"));
            return;
        }
        const auto head = splitWords(line.substr(0, colon));
        std::string_view body = line.substr(colon + 1);
        std::string_view sourceBody;
        const auto arrow = body.find('<');
        if (arrow != std::string_view::npos) {
            sourceBody = body.substr(arrow + 1);
            body = body.substr(0, arrow);
        }
        if (head.size() != 4) {
            errors.push_back(lineError(number, "expected mode, family, subcategory and scale"));
            return;
        }
        ProgressionSourceRecord record;
        record.genreId = std::string(genreId);
        record.lineNumber = number;
        if (head[0] == "major") {
            record.mode = 0;
        } else if (head[0] == "minor") {
            record.mode = 1;
        } else {
            errors.push_back(lineError(number, "mode must be major or minor"));
            return;
        }
        record.modeFamily = head[1];
        record.subcategory = head[2];
        if (head[3] == "natural") {
            record.minorScaleType = 0;
        } else if (head[3] == "melodic") {
            record.minorScaleType = 1;
        } else if (head[3] != "-") {
            errors.push_back(lineError(number, "scale must be natural, melodic or -"));
            return;
        }
        if (record.mode == 0 && record.minorScaleType) {
            errors.push_back(lineError(number, "a major record takes no minor scale"));
            return;
        }
        record.tokens = splitWords(body);
        record.sourceTokens = splitWords(sourceBody);
        if (record.tokens.empty() || record.tokens.size() > 255 || record.sourceTokens.size() > 255) {
            errors.push_back(lineError(number, "a progression needs 1 to 255 tokens"));
            return;
        }
        records.push_back(std::move(record));
    });
    return records;
}

std::vector<ProgressionCorpusGroup> assembleProgressionGroups(const std::vector<ProgressionSourceRecord>& records) {
    std::vector<ProgressionCorpusGroup> groups;
    std::vector<std::map<std::vector<std::string>, std::uint16_t>> sourceNumbers;
    for (const auto& record : records) {
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.genreId == record.genreId; });
        if (group == groups.end()) {
            groups.push_back({record.genreId, {}});
            sourceNumbers.emplace_back();
            group = groups.end() - 1;
        }
        const auto groupIndex = static_cast<std::size_t>(group - groups.begin());
        if (record.tokens.size() > 255) throw std::runtime_error("Progression is longer than 255 tokens");
        const auto length = static_cast<std::uint8_t>(record.tokens.size());
        auto bucket = std::find_if(group->buckets.begin(), group->buckets.end(),
                                   [&](const auto& b) { return b.length == length; });
        if (bucket == group->buckets.end()) {
            group->buckets.push_back({length, {}});
            bucket = group->buckets.end() - 1;
        }
        SourceProgression progression = toSourceProgression(record);
        progression.poolIndex = static_cast<std::uint16_t>(bucket->records.size());
        auto& numbers = sourceNumbers[groupIndex];
        const auto known = numbers.find(progression.sourceRoman);
        if (known != numbers.end()) {
            progression.sourceIndex = known->second;
        } else {
            progression.sourceIndex = static_cast<std::uint16_t>(numbers.size());
            numbers.emplace(progression.sourceRoman, progression.sourceIndex);
        }
        bucket->records.push_back(std::move(progression));
    }
    for (auto& group : groups) {
        std::stable_sort(group.buckets.begin(), group.buckets.end(),
                         [](const auto& x, const auto& y) { return x.length < y.length; });
    }
    return groups;
}

void parseTransitionCounts(std::string_view text, TransitionCounts& counts, std::vector<std::string>& errors) {
    forEachContentLine(text, [&](int number, std::string_view line) {
        const auto words = splitWords(line);
        double count = 0.0;
        const auto& first = words.empty() ? std::string() : words[0];
        const auto parsed = std::from_chars(first.data(), first.data() + first.size(), count);
        if (words.empty() || parsed.ec != std::errc() || parsed.ptr != first.data() + first.size() ||
            !std::isfinite(count) || count <= 0.0) {
            errors.push_back(lineError(number, "expected a positive count first"));
            return;
        }
        if (words.size() == 3) {
            counts.pairs[{words[1], words[2]}] += count;
        } else if (words.size() == 4) {
            counts.triples[{words[1], words[2], words[3]}] += count;
        } else {
            errors.push_back(lineError(number, "expected two or three tokens after the count"));
        }
    });
}

void addProgressionTransitions(TransitionCounts& counts, const std::vector<std::string>& tokens) {
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        counts.pairs[{tokens[i], tokens[i + 1]}] += 1.0;
        if (i + 2 < tokens.size()) counts.triples[{tokens[i], tokens[i + 1], tokens[i + 2]}] += 1.0;
    }
}

std::string glyphRomanToken(std::string_view asciiToken) {
    std::string out;
    bool atPartStart = true;
    for (const char c : asciiToken) {
        if (atPartStart && c == 'b') {
            out += "\u266D";
            continue;
        }
        if (atPartStart && c == '#') {
            out += "\u266F";
            continue;
        }
        atPartStart = (c == '/');
        out.push_back(c);
    }
    return out;
}

ChordTransitionImage assembleTransitionImage(const TransitionCounts& counts) {
    // Rows of counts per family: ASCII rows for every token, glyph rows for
    // the tokens whose glyph form differs.
    std::map<std::string, std::map<std::string, double>> pairRows;
    std::map<std::pair<std::string, std::string>, std::map<std::string, double>> tripleRows;
    for (const auto& [key, count] : counts.pairs) {
        const auto& [a, b] = key;
        pairRows[a][b] += count;
        if (hasAccidentalGlyphForm(a)) pairRows[glyphRomanToken(a)][glyphRomanToken(b)] += count;
    }
    for (const auto& [key, count] : counts.triples) {
        const auto& [a, b, c] = key;
        tripleRows[{a, b}][c] += count;
        if (hasAccidentalGlyphForm(a) || hasAccidentalGlyphForm(b)) {
            tripleRows[{glyphRomanToken(a), glyphRomanToken(b)}][glyphRomanToken(c)] += count;
        }
    }

    std::set<std::string> tokenSet;
    for (const auto& [a, row] : pairRows) {
        tokenSet.insert(a);
        for (const auto& [b, count] : row) tokenSet.insert(b);
    }
    for (const auto& [key, row] : tripleRows) {
        tokenSet.insert(key.first);
        tokenSet.insert(key.second);
        for (const auto& [c, count] : row) tokenSet.insert(c);
    }
    if (tokenSet.size() > 65535) throw std::runtime_error("Too many transition tokens");

    ChordTransitionImage image;
    image.tokens.assign(tokenSet.begin(), tokenSet.end());
    std::unordered_map<std::string, std::uint16_t> index;
    for (std::size_t i = 0; i < image.tokens.size(); ++i) {
        index.emplace(image.tokens[i], static_cast<std::uint16_t>(i));
    }
    addRows(pairRows, [&](const std::string& a, const std::string& b, float weight) {
        image.pairs.push_back({index.at(a), index.at(b), weight});
    });
    addRows(tripleRows, [&](const std::pair<std::string, std::string>& key, const std::string& c, float weight) {
        image.triples.push_back({index.at(key.first), index.at(key.second), index.at(c), weight});
    });
    return image;
}

}  // namespace quillex
