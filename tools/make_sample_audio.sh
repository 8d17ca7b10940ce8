#!/usr/bin/env bash
# Regenerates the small pronunciation recordings that the sample pages link to.
# The results are committed under samples/media/<host>/<path>, mirroring each
# audio URL (http://media.lexora.org/a/ab/En-cat.ogg is stored as
# samples/media/media.lexora.org/a/ab/En-cat.ogg; the relative link
# /media/En-uk-tea.ogg on en.lexora.org as samples/media/en.lexora.org/media/En-uk-tea.ogg).
# Run it only when a page gains or changes an audio link; the command-line host
# and the tests read the committed files.
#
# Needs the Debian packages espeak-ng (speech), sox (trimming, resampling) and
# vorbis-tools (oggenc). Output: mono, 16 kHz, lowest Vorbis quality, a few KB.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

for tool in espeak-ng sox oggenc; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install espeak-ng sox vorbis-tools)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# speak VOICE TEXT TARGET SERIAL: speak TEXT with VOICE into samples/media/TARGET.
# A fixed stream serial keeps the output the same from run to run.
speak() {
  local voice=$1 text=$2 target=samples/media/$3 serial=$4
  espeak-ng -v "$voice" -s 140 -w "$work/speech.wav" "$text"
  # Cut the leading and trailing silence, then resample to 16 kHz mono; -R and
  # -D (fixed random numbers, no dither) keep sox repeatable.
  sox -R -D "$work/speech.wav" -r 16000 -c 1 "$work/trimmed.wav" \
      silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  mkdir -p "$(dirname "$target")"
  oggenc --quiet -q -1 --serial "$serial" -c "TITLE=$text" -o "$target" "$work/trimmed.wav"
  echo "$target: $(stat -c %s "$target") bytes"
}

speak en-us "cat"     media.lexora.org/a/ab/En-cat.ogg           1001
speak en-gb "run"     media.lexora.org/c/cd/En-uk-run.ogg        1002
speak nl    "kind"    media.lexora.org/f/f3/Nl-kind.ogg          1003
speak en-gb "tea"     en.lexora.org/media/En-uk-tea.ogg          1004
# "base" rather than "bass": the musical sense, as the page's section says.
speak en-us "base"    media.lexora.org/7/7b/En-us-bass-music.ogg 1005
speak ja    "ねこ"    media.lexora.org/4/4e/Ja-neko.ogg          1006
speak fr-fr "un chat" media.lexora.org/1/1c/Fr-chat.ogg          1007
# Linked protocol-relatively by the twin pages; the French one is a transcoded file.
speak en-us "dog"      media.lexora.org/2/2e/En-us-dog.ogg        1008
speak fr-fr "un chien" media.lexora.org/transcoded/3/3c/Fr-Paris-chien.wav/Fr-Paris-chien.wav.ogg 1009
speak ja    "いぬ"     media.lexora.org/8/8d/Ja-inu.ogg           1010
