#!/usr/bin/env bash
# Renders each face offscreen with sample contents into docs/, for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target face_shot VeluneConverter VelunePlayer >/dev/null
shot=build/tools/face_shot
bin=build/bin
mkdir -p docs

converter=("_root.FillCombo=wav|mp3|ogg|flac|opus|m4a|alac" "_root.SetCombo=1" "_root.VersionNo=Version No.:1.0.0.0" \
    "_root.FillQuality=128|192|256|320|v0|v2|v4" "_root.QualityValue=v2" "_root.SetQuality=1" "_root.ReplayGain=1" \
    "_root.AddedFiles=/home/ana/Music/Morning Walk.wav|/home/ana/Music/Été à Lisbonne.ogg|/home/ana/Music/Rock 'n' Roll Live.mp3|/home/ana/Podcasts/Episode 12 - Field Recordings.wav" \
    "_root.SetAddedFiles=1" "_root.ListStatus=1 skipped: not audio" click=format_mp3 click=fileRow1 \
    "_root.BrowsePath=/home/ana/Music/Converted" "_root.SetBrowsePath=1" "_root.Rate=48000" "_root.Id3v23=1" \
    "_root.Pattern={albumartist}/{album}/{track:02} {title}")
"$shot" "$bin/VeluneC.qml" docs/converter.png "${converter[@]}"
echo "wrote docs/converter.png"
# The same with its panel of the options used less often open.
"$shot" "$bin/VeluneC.qml" docs/converter-options.png "${converter[@]}" click=optionsButton
echo "wrote docs/converter-options.png"

"$shot" "$bin/VeluneC1.qml" docs/conversion.png \
    "_root.FileTxt=/home/ana/Music/Rock 'n' Roll Live.mp3" "_root.SetFileTxt=1" \
    "_root.ProgressValue=64" "_root.SetProgress=1" "_root.ArrowPlay=1"
echo "wrote docs/conversion.png"

cover=$(mktemp --suffix=.png)
ffmpeg -v error -y -f lavfi -i "gradients=s=88x88:c0=0xf2a541:c1=0x3a5f8a" -frames:v 1 "$cover"
"$shot" "$bin/player.qml" docs/player.png \
    "_root.ListRows=/home/ana/Music/Lisbon/01 Morning Walk.flac|Morning Walk|Ana Sol|Lisbon Days|1|03:41|||/home/ana/Music/Lisbon/02 Ete.flac|Été à Lisbonne|Ana Sol|Lisbon Days|2|04:12|||/home/ana/Music/Lisbon/03 Tram.flac|Tram 28|Ana Sol|Lisbon Days|3|02:58|1||/home/ana/Music/Live/Rock n Roll Live.mp3|Rock 'n' Roll Live|The Quarters|Live at the Hall|7|05:33|||/home/ana/Radio/Evening News.rm|Evening News.rm|||||2||/home/ana/Music/Quartet in G.wma|Quartet in G|String Four|Chamber Works|4|07:05||" \
    "_root.SetListRows=1" "_root.ListTotal=6 files · 23:29" "_root.PlayingRow=1" "_root.Shuffle=albums" "_root.SortOrder=artist" \
    "_root.CoverUrl=file://$cover" "_root.VolumePosition=6" "_root.ListShown=1" \
    "_root.FileTxt=Été à Lisbonne — Ana Sol" "_root.SetFileTxt=1" "_root.Playing=1" \
    "_root.Play=3" "_root.Pause=1" "_root.Stop=1" "_root.Next=1" "_root.Previous=1" "_root.Repeat=3" \
    "_root.TotalTimeTxt=04:12" "_root.TimePlayedTxt=01:37" "_root.SetTimeTxt=1" "_root.KnobPosition= 38" \
    click=playRow2
rm -f "$cover"
echo "wrote docs/player.png"
