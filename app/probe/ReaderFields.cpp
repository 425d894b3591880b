#include "ReaderFields.h"

#include "tags/MPEGaudio.h"
#include "tags/TagBytes.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <cstdio>
#include <vector>

namespace app {

namespace {

std::string hex(const std::array<std::uint8_t, 4>& bytes) {
    char out[9];
    std::snprintf(out, sizeof out, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
    return out;
}

JsonObject frameFields(const tags::TMPEGaudio& mp3) {
    const tags::TMpegFrame& f = mp3.Frame();
    JsonObject o;
    o.add("found", f.Found)
        .add("position", f.Position)
        .add("file_offset", mp3.WindowOffset() + f.Position)
        .add("size", unsigned{f.Size})
        .add("header", hex(f.HeaderBytes))
        .add("version", mp3.VersionName())
        .add("layer", mp3.LayerName())
        .add("channel_mode", mp3.ChannelModeName())
        .add("mode_extension", unsigned{f.ModeExtension})
        .add("emphasis", mp3.EmphasisName())
        .add("bitrate_index", unsigned{f.BitRateIndex})
        .add("samplerate_index", unsigned{f.SampleRateIndex})
        .add("protection", f.ProtectionBit)
        .add("padding", f.PaddingBit)
        .add("private", f.PrivateBit)
        .add("copyright", f.CopyrightBit)
        .add("original", f.OriginalBit)
        .add("zero_side_info", f.ZeroSideInfo);
    return o;
}

JsonObject vbrFields(const tags::TVbrHeader& v) {
    JsonObject o;
    o.add("found", v.Found)
        .add("id", v.Id)
        .add("frames", v.Frames)
        .add("bytes", v.Bytes)
        .add("scale", unsigned{v.Scale})
        .add("vendor", v.Vendor);
    return o;
}

JsonObject id3v1Fields(const tags::TID3v1& t) {
    JsonObject o;
    o.add("found", t.Found())
        .add("version", t.VersionId() == tags::TID3v1::kVersion11 ? "1.1" : "1.0")
        .add("title", t.Title())
        .add("artist", t.Artist())
        .add("album", t.Album())
        .add("year", t.Year())
        .add("comment", t.Comment())
        .add("track", unsigned{t.Track()})
        .add("genre_id", unsigned{t.GenreId()})
        .add("genre", tags::TID3v1::genreName(t.GenreId()));
    return o;
}

JsonObject id3v2Fields(const tags::TID3v2& t) {
    JsonObject o;
    o.add("found", t.Found())
        .add("version", unsigned{t.VersionId()})
        .add("size", t.Size())
        .add("title", t.Title())
        .add("artist", t.Artist())
        .add("album", t.Album())
        .add("track", unsigned{t.Track()})
        .add("track_text", t.TrackText())
        .add("year", t.Year())
        .add("genre", t.Genre())
        .add("comment", t.Comment())
        .add("composer", t.Composer())
        .add("encoder", t.Encoder())
        .add("copyright", t.Copyright())
        .add("language", t.Language())
        .add("link", t.Link());
    return o;
}

JsonObject apeFields(const tags::TAPEtag& t) {
    JsonObject o;
    o.add("found", t.Found())
        .add("version", t.Version())
        .add("size", t.Size())
        .add("title", t.Title())
        .add("artist", t.Artist())
        .add("album", t.Album())
        .add("track", unsigned{t.Track()})
        .add("year", t.Year())
        .add("genre", t.Genre())
        .add("comment", t.Comment())
        .add("copyright", t.Copyright());
    return o;
}

} // namespace

std::string utf8(const std::u16string& wide) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return tags::utf16ToUtf8(bytes, tags::ByteOrder::Little);
}

JsonObject mpegFields(const tags::TMPEGaudio& mp3, bool loaded) {
    JsonObject o;
    o.add("load_ok", loaded)
        .add("file_size", mp3.FileSize())
        .add("window_offset", mp3.WindowOffset())
        .add("frame", frameFields(mp3))
        .add("vbr", vbrFields(mp3.Vbr()))
        .add("vendor", mp3.Vendor())
        .add("id3v1", id3v1Fields(mp3.Id3v1()))
        .add("id3v2", id3v2Fields(mp3.Id3v2()))
        .add("ape", apeFields(mp3.Ape()));
    return o;
}

JsonObject wmaFields(const tags::TWMAfile& wma, bool loaded) {
    JsonObject o;
    o.add("load_ok", loaded)
        .add("valid", wma.Valid())
        .add("file_size", wma.FileSize())
        .add("channels", unsigned{wma.Channels()})
        .add("channel_mode", wma.ChannelModeName())
        .add("samplerate", wma.SampleRate())
        .add("duration", wma.Duration())
        .add("bitrate", wma.BitRate())
        .add("title", utf8(wma.Title()))
        .add("artist", utf8(wma.Artist()))
        .add("album", utf8(wma.Album()))
        .add("track", wma.Track())
        .add("year", utf8(wma.Year()))
        .add("genre", utf8(wma.Genre()))
        .add("comment", utf8(wma.Comment()));
    return o;
}

JsonObject wavFields(const tags::TWAVfile& wav, bool loaded) {
    JsonObject o;
    o.add("load_ok", loaded)
        .add("valid", wav.Valid())
        .add("format_tag", unsigned{wav.FormatTag()})
        .add("channels", unsigned{wav.Channels()})
        .add("channel_mode", wav.ChannelModeName())
        .add("samplerate", std::int64_t{wav.SampleRate()})
        .add("bytes_per_second", std::int64_t{wav.BytesPerSecond()})
        .add("block_align", unsigned{wav.BlockAlign()})
        .add("bits_per_sample", unsigned{wav.BitsPerSample()})
        .add("sample_count", wav.SampleCount())
        .add("header_size", unsigned{wav.HeaderSize()})
        .add("file_size", std::int64_t{wav.FileSize()})
        .add("duration", wav.Duration());
    return o;
}

} // namespace app
