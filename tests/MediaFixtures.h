#pragma once

// Short audio files the engine tests make for themselves: WAV through a tiny writer, MP3
// through lame at test time.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace fixtures {

// Sample of one channel at one frame, 16-bit signed.
using SampleAt = std::function<std::int16_t(std::uint32_t frame, std::uint32_t channel)>;

inline void putLe(QByteArray& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline QByteArray wavBytes(std::uint32_t rate, std::uint32_t channels, std::uint32_t frames,
                           const SampleAt& sample) {
    const std::uint32_t dataBytes = frames * channels * 2;
    QByteArray out;
    out.reserve(static_cast<int>(44 + dataBytes));
    out.append("RIFF");
    putLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * channels * 2, 4);
    putLe(out, channels * 2, 2);
    putLe(out, 16, 2);
    out.append("data");
    putLe(out, dataBytes, 4);
    for (std::uint32_t f = 0; f < frames; ++f)
        for (std::uint32_t c = 0; c < channels; ++c)
            putLe(out, static_cast<std::uint16_t>(sample(f, c)), 2);
    return out;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A quiet tone, different on each channel.
inline SampleAt tone() {
    return [](std::uint32_t f, std::uint32_t c) {
        return static_cast<std::int16_t>(((f * (c + 3)) % 200) * 40 - 4000);
    };
}

inline bool writeWav(const QString& path, std::uint32_t rate, std::uint32_t channels,
                     double seconds, const SampleAt& sample = tone()) {
    const auto frames = static_cast<std::uint32_t>(rate * seconds);
    return writeFile(path, wavBytes(rate, channels, frames, sample));
}

// Encodes a WAV file to MP3 with lame.
inline bool encodeMp3(const QString& wav, const QString& mp3) {
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), wav, mp3});
    return lame.waitForFinished(600'000) && lame.exitCode() == 0;
}

} // namespace fixtures
