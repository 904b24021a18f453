#!/usr/bin/env python3
"""Derives the corpus sources in data/corpus from the Billboard chord transcriptions
and from the hand-written phrase cells in data/corpus/cells.

Writes:
  data/corpus/transitions/billboard-pairs.txt, billboard-triples.txt  (chord-change counts)
  data/corpus/progressions/popedm.txt, rock.txt                       (chart phrases)
  data/corpus/progressions/<style>.txt for every data/corpus/cells/<style>.txt

The mode of every progression and the validity of every token are asked of the
engine itself through the built corpus-builder (--classify, --check-tokens).
Run: tools/derive_corpus_sources.py --billboard <folder> --builder <corpus-builder>
"""
import argparse
import collections
import itertools
import os
import random
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data", "corpus")

NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
# Numerals by semitones above the tonic, relative to the major and the natural minor scale.
MAJOR_DEGREES = ["I", "bII", "II", "bIII", "III", "IV", "#IV", "V", "bVI", "VI", "bVII", "VII"]
MINOR_DEGREES = ["I", "bII", "II", "III", "#III", "IV", "#IV", "V", "VI", "#VI", "VII", "#VII"]
# Harte quality -> (suffix after the numeral, lower-case numeral).
QUALITIES = {
    "maj": ("", False), "1": ("", False), "5": ("", False), "min": ("", True),
    "7": ("7", False), "min7": ("m7", True), "maj7": ("maj7", False),
    "hdim7": ("\u00f8", True), "dim": ("\u00b0", True), "dim7": ("\u00b07", True),
    "aug": ("+", False), "sus4": ("sus4", False), "sus2": ("sus2", False),
    "maj6": ("6", False), "min6": ("m6", True), "9": ("9", False), "min9": ("m9", True),
    "maj9": ("maj9", False), "11": ("11", False), "min11": ("m11", True), "13": ("13", False),
    "minmaj7": ("mM7", True), "maj13": ("maj7", False), "min13": ("m7", True),
}
# Harte qualities with their added notes that name a different chord.
QUALITY_WITH_ADDITIONS = {
    "sus4(b7)": ("7sus4", False), "sus4(b7,9)": ("7sus4", False), "maj(9)": ("add9", False),
    "min(9)": ("madd9", True), "7(#9)": ("7#9", False), "7(b9)": ("7b9", False),
    "maj6(9)": ("69", False), "aug(b7)": ("+7", False), "5(b7)": ("7", False),
}
DEGREE_SEMITONES = {"1": 0, "2": 2, "3": 4, "4": 5, "5": 7, "6": 9, "7": 11, "9": 2, "11": 5, "13": 9}
SECTIONS = {"intro": "intro", "verse": "verse", "prechorus": "prechorus", "chorus": "chorus",
            "bridge": "bridge", "outro": "outro", "fadeout": "outro", "coda": "outro",
            "instrumental": "instrumental", "solo": "instrumental", "interlude": "instrumental",
            "transition": "bridge"}


def pitch_of(name):
    if not name or name[0] not in NOTE:
        return None
    pc = NOTE[name[0]]
    for c in name[1:]:
        if c == "#":
            pc += 1
        elif c == "b":
            pc -= 1
        else:
            return None
    return pc % 12


def parse_harte(label):
    """(root, quality suffix, lower-case flag, bass pitch class or None) or None."""
    if ":" not in label:
        return None
    root_text, rest = label.split(":", 1)
    root = pitch_of(root_text)
    if root is None:
        return None
    bass = None
    if "/" in rest:
        rest, bass_text = rest.split("/", 1)
        m = re.fullmatch(r"([b#]*)(\d+)", bass_text)
        if not m or m.group(2) not in DEGREE_SEMITONES:
            return None
        shift = DEGREE_SEMITONES[m.group(2)] + m.group(1).count("#") - m.group(1).count("b")
        if m.group(2) == "7" and not m.group(1):
            shift = 11
        bass = (root + shift) % 12
    quality = QUALITY_WITH_ADDITIONS.get(rest) or QUALITIES.get(rest.split("(")[0])
    if quality is None:
        return None
    return root, quality[0], quality[1], bass


def numeral(interval, minor):
    return (MINOR_DEGREES if minor else MAJOR_DEGREES)[interval % 12]


def token_of(chord, tonic, minor, level):
    """ASCII Roman token of a chord; level 'full', 'rock' (triads, 7, sus4) or 'triad'."""
    root, suffix, lower, bass = chord
    if level != "full":
        keep = {"7", "sus4"} if level == "rock" else set()
        if suffix in ("\u00b0", "\u00b07", "\u00f8"):
            suffix = "\u00b0"
        elif suffix == "+" or suffix == "+7":
            suffix = "+"
        elif suffix not in keep:
            suffix = ""
        bass = None
    head = numeral(root - tonic, minor)
    if lower:
        head = head.lower()
    token = head + suffix
    if bass is not None and bass != root:
        token += "/" + numeral(bass - tonic, minor)
    return token


def read_song(path):
    """Yields (tonic, section, [chords or None]) per phrase line."""
    tonic = None
    section = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("# tonic:"):
                tonic = pitch_of(line.split(":", 1)[1].strip())
                continue
            if line.startswith("#") or "|" not in line:
                continue
            parts = line.split("\t", 1)
            if len(parts) < 2:
                continue
            body = parts[1]
            before = body.split("|", 1)[0]
            for word in re.split(r"[ ,]+", before.lower()):
                key = word.replace("-", "")
                if key in SECTIONS:
                    section = SECTIONS[key]
            bars = body[body.index("|"):body.rindex("|") + 1]
            chords = []
            last = None
            for word in bars.replace("|", " ").split():
                if word == ".":
                    word = last
                if word is None:
                    continue
                last = word
                if word in ("N", "X", "&pause"):
                    chords.append(None)
                    continue
                chords.append(parse_harte(word))
            if tonic is not None:
                yield tonic, section, chords


def song_is_minor(phrases):
    votes = collections.Counter()
    for tonic, _, chords in phrases:
        for chord in chords:
            if chord and chord[0] == tonic:
                if chord[2]:
                    votes["minor"] += 1
                elif chord[1] in ("", "7", "maj7", "6", "add9", "9", "maj9", "69"):
                    votes["major"] += 1
    return votes["minor"] > votes["major"]


def collapse(tokens):
    out = []
    for t in tokens:
        if not out or out[-1] != t:
            out.append(t)
    return out


def run_builder(builder, flag, lines):
    result = subprocess.run([builder, flag], input="\n".join(lines) + "\n", capture_output=True,
                            text=True, check=True)
    return result.stdout.splitlines()


def valid_tokens(builder, tokens):
    tokens = sorted(tokens)
    out = run_builder(builder, "--check-tokens", tokens)
    return {line.split("\t")[0] for line in out if line.endswith("\tok")}


def readings(builder, progressions):
    return run_builder(builder, "--classify", [" ".join(p) for p in progressions])


def has_accidental(token):
    return token[0] in "b#" or "/b" in token or "/#" in token


def family_of(tokens, minor):
    heads = [t.split("/")[0] for t in tokens]
    letters = [re.sub(r"[^IViv]", "", h) for h in heads]
    if not minor:
        chromatic = {h for h in heads if h[0] in "b#"} | {h for h, n in zip(heads, letters) if n == "iv"}
        mixolydian = {h for h, n in zip(heads, letters) if n == "v" or h.startswith("bVII")}
        if chromatic - mixolydian:
            return "modalmixture"
        return "mixolydian" if mixolydian else "ionian"
    if any(h[0] in "b#" for h in heads):
        return "modalmixture"
    if any(n == "V" for n in letters):
        return "harmonicminor"
    if any(n in ("IV", "ii") for n in letters):
        return "dorian"
    return "aeolian"


def is_rock(tokens, minor):
    heads = [t.split("/")[0] for t in tokens]
    if any(h[0] in "b#" for h in heads):
        return True
    if not minor and any(h in ("I7", "IV7") for h in heads):
        return True
    if minor and any(re.match(r"IV(7)?$", h) for h in heads):
        return True
    return any("sus4" in h for h in heads)


def derive_billboard(folder, builder, cap):
    songs = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".txt"):
            phrases = list(read_song(os.path.join(folder, name)))
            if phrases:
                songs.append((name[:-4], phrases, song_is_minor(phrases)))

    # Chord-change counts over every song, in full-quality tokens.
    sequences = []
    for song_id, phrases, minor in songs:
        current, tonic_now = [], None
        for tonic, _, chords in phrases:
            if tonic != tonic_now:
                sequences.append(current)
                current, tonic_now = [], tonic
            for chord in chords:
                if chord is None:
                    sequences.append(current)
                    current = []
                else:
                    current.append(token_of(chord, tonic, minor, "full"))
        sequences.append(current)
    sequences = [collapse(s) for s in sequences if s]
    frequency = collections.Counter(t for s in sequences for t in s)
    common = {t for t, n in frequency.items() if n >= 5}
    good = valid_tokens(builder, common)
    pairs, triples = collections.Counter(), collections.Counter()
    for sequence in sequences:
        runs, run = [], []
        for t in sequence:
            if t in good:
                run.append(t)
            else:
                runs.append(run)
                run = []
        runs.append(run)
        for run in runs:
            run = collapse(run)
            for a, b in zip(run, run[1:]):
                pairs[a, b] += 1
            for a, b, c in zip(run, run[1:], run[2:]):
                triples[a, b, c] += 1
    triples = {k: n for k, n in triples.items() if n >= 2}

    # Chart phrases: one line, or two or three neighbouring lines of one section.
    phrases_by_style = {"popedm": collections.Counter(), "rock": collections.Counter()}
    info = {}
    for song_id, phrases, minor in songs:
        lines = []
        for tonic, section, chords in phrases:
            if section is None or any(c is None for c in chords):
                lines.append(None)
                continue
            lines.append((tonic, section, chords))
        candidates = []
        for i, line in enumerate(lines):
            if line is None:
                continue
            candidates.append((line[0], line[1], line[2]))
            chords = list(line[2])
            for nxt in lines[i + 1:i + 3]:
                if not nxt or nxt[0] != line[0] or nxt[1] != line[1]:
                    break
                chords += nxt[2]
                candidates.append((line[0], line[1], list(chords)))
        for tonic, section, chords in candidates:
            for level in ("triad", "rock"):
                tokens = collapse([token_of(c, tonic, minor, level) for c in chords])
                if len(tokens) not in (4, 6, 8) or not all(t in good or level != "full" for t in tokens):
                    continue
                tonic_numeral = "i" if minor else "I"
                if tonic_numeral not in tokens:
                    continue
                style = "rock" if is_rock(tokens, minor) else "popedm"
                if level == "rock" and style != "rock":
                    continue
                key = (style, tuple(tokens), minor)
                phrases_by_style[style][key] += 1
                info.setdefault(key, (section, song_id))
    all_tokens = {t for counter in phrases_by_style.values() for (_, tokens, _) in counter for t in tokens}
    # Phrase tokens must be valid and known to the chord changes, so the walk can move on from them.
    followed = {a for (a, _) in pairs}
    good_phrase_tokens = valid_tokens(builder, all_tokens) & followed
    files = {}
    for style, counter in phrases_by_style.items():
        chosen = collections.defaultdict(list)
        ordered = sorted(counter.items(), key=lambda kv: (-kv[1], kv[0]))
        ordered = [kv for kv in ordered if all(t in good_phrase_tokens for t in kv[0][1])]
        modes = readings(builder, [list(k[1]) for k, _ in ordered])
        for (key, count), reading in zip(ordered, modes):
            _, tokens, minor = key
            if reading.startswith("minor") != minor:
                continue
            bucket = chosen[len(tokens), minor]
            if len(bucket) < cap:
                bucket.append((tokens, minor, count, info[key]))
        lines = ["# " + style + ": phrases of Billboard chart songs (1958-1991), McGill Billboard",
                 "# project, CC0; derived by tools/derive_corpus_sources.py. Most frequent first.",
                 "# mode  family  subcategory  scale : tokens  ; occurrences, first song"]
        for (length, minor) in sorted(chosen):
            for tokens, _, count, (section, song_id) in chosen[length, minor]:
                lines.append("%s %s %s %s : %s ; %d x, %s" % (
                    "minor" if minor else "major", family_of(tokens, minor), section,
                    "natural" if minor else "-", " ".join(tokens), count, song_id))
        files[style] = lines
    return pairs, triples, files


def parse_cells(path):
    sections, current = [], None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.split(";")[0].strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("section "):
                words = line.split()[1:]
                current = {"head": words, "open": [], "middle": [], "close": [], "phrase": []}
                sections.append(current)
                continue
            kind, _, body = line.partition(":")
            current[kind.strip()].extend(p.split() for p in body.split("|") if p.strip())
    return sections


def no_repeats(tokens):
    return all(a != b for a, b in zip(tokens, tokens[1:]))


def compose(section, limit, rng):
    o, m, c, p = section["open"], section["middle"], section["close"], section["phrase"]
    by_length = {4: [], 6: [], 8: []}
    by_length[4] += [a + b for a, b in itertools.product(o, c)] + p
    by_length[6] += [a + b + d for a, b, d in itertools.product(o, m, c)]
    by_length[8] += [a + b + d + e for a, b, d, e in itertools.product(o, m, m, c) if b != d]
    by_length[8] += [a + b for a, b in itertools.product(p, p) if a != b]
    out = {}
    for length, items in by_length.items():
        seen, unique = set(), []
        for tokens in items:
            if len(tokens) == length and no_repeats(tokens) and tuple(tokens) not in seen:
                seen.add(tuple(tokens))
                unique.append(tokens)
        rng.shuffle(unique)
        out[length] = unique[:limit]
    return out


def derive_cells(path, builder, limit):
    rng = random.Random(20261207)
    lines = []
    seen = set()
    for section in parse_cells(path):
        mode, family, subcategory, scale = section["head"]
        composed = compose(section, limit, rng)
        for length in (4, 6, 8):
            items = composed[length]
            if not items:
                continue
            modes = readings(builder, items)
            for tokens, reading in zip(items, modes):
                if reading.startswith("minor") != (mode == "minor") or tuple(tokens) in seen:
                    continue
                seen.add(tuple(tokens))
                lines.append("%s %s %s %s : %s" % (mode, family, subcategory, scale, " ".join(tokens)))
    return lines


def write_lines(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--billboard", required=True)
    parser.add_argument("--builder", required=True)
    parser.add_argument("--phrase-cap", type=int, default=60)
    parser.add_argument("--cell-limit", type=int, default=20)
    args = parser.parse_args()

    pairs, triples, files = derive_billboard(args.billboard, args.builder, args.phrase_cap)
    header = ["# Chord changes in Billboard chart songs (1958-1991), McGill Billboard project, CC0.",
              "# Roman numerals relative to each song's tonic; derived by tools/derive_corpus_sources.py.",
              "# count  from  to"]
    write_lines(os.path.join(DATA, "transitions", "billboard-pairs.txt"),
                header + ["%d %s %s" % (n, a, b) for (a, b), n in
                          sorted(pairs.items(), key=lambda kv: (-kv[1], kv[0]))])
    header[-1] = "# count  first  second  third"
    write_lines(os.path.join(DATA, "transitions", "billboard-triples.txt"),
                header + ["%d %s %s %s" % (n, a, b, c) for (a, b, c), n in
                          sorted(triples.items(), key=lambda kv: (-kv[1], kv[0]))])
    for style, lines in files.items():
        write_lines(os.path.join(DATA, "progressions", style + ".txt"), lines)

    cells = os.path.join(DATA, "cells")
    for name in sorted(os.listdir(cells)):
        if name.endswith(".txt"):
            style = name[:-4]
            lines = ["# " + style + ": composed by tools/derive_corpus_sources.py from cells/" + name,
                     "# mode  family  subcategory  scale : tokens"]
            lines += derive_cells(os.path.join(cells, name), args.builder, args.cell_limit)
            write_lines(os.path.join(DATA, "progressions", name), lines)
    return 0


if __name__ == "__main__":
    sys.exit(main())
