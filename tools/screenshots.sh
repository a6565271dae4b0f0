#!/usr/bin/env bash
# Renders each face offscreen with sample contents into docs/, for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target face_shot VeluneConverter VelunePlayer >/dev/null
shot=build/tools/face_shot
bin=build/bin
mkdir -p docs

"$shot" "$bin/VeluneC.qml" docs/converter.png \
    "_root.FillCombo=wav|mp3|ogg|flac|opus" "_root.SetCombo=1" "_root.VersionNo=Version No.:1.0.0.0" \
    "_root.FillQuality=128|192|256|320|v0|v2|v4" "_root.QualityValue=v2" "_root.SetQuality=1" "_root.ReplayGain=1" \
    "_root.AddedFiles=/home/ana/Music/Morning Walk.wav|/home/ana/Music/Été à Lisbonne.ogg|/home/ana/Music/Rock 'n' Roll Live.mp3|/home/ana/Podcasts/Episode 12 - Field Recordings.wav" \
    "_root.SetAddedFiles=1" click=format_mp3 click=fileRow1 \
    "_root.BrowsePath=/home/ana/Music/Converted" "_root.SetBrowsePath=1"
echo "wrote docs/converter.png"

"$shot" "$bin/VeluneC1.qml" docs/conversion.png \
    "_root.FileTxt=/home/ana/Music/Rock 'n' Roll Live.mp3" "_root.SetFileTxt=1" \
    "_root.ProgressValue=64" "_root.SetProgress=1" "_root.ArrowPlay=1"
echo "wrote docs/conversion.png"

"$shot" "$bin/player.qml" docs/player.png \
    "_root.AddedFiles=/home/ana/Music/Morning Walk.wav|/home/ana/Music/Été à Lisbonne.ogg|/home/ana/Music/Rock 'n' Roll Live.mp3|/home/ana/Radio/Evening News.rm|/home/ana/Music/Quartet in G.wma" \
    "_root.SetAddedFiles=1" "_root.VolumePosition=6" \
    "_root.FileTxt=Été à Lisbonne.ogg" "_root.SetFileTxt=1" "_root.Playing=1" \
    "_root.Play=3" "_root.Pause=1" "_root.Stop=1" "_root.Next=1" "_root.Previous=1" "_root.Repeat=3" \
    "_root.TotalTimeTxt=04:12" "_root.TimePlayedTxt=01:37" "_root.SetTimeTxt=1" "_root.KnobPosition= 38" \
    click=playRow1
echo "wrote docs/player.png"
