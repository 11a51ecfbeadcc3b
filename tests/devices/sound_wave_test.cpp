// The wave reader: what it plays, and the damaged and foreign files it refuses.
#include <gtest/gtest.h>

#include <string>

#include "devices/sound_wave.h"
#include "sound_test_waves.h"

namespace korva {
namespace {

using test::bytes_of;
using test::chunk;
using test::fmt_body;
using test::riff;

TEST(SoundWave, ReadsMonoSixteenBitWithItsSamples) {
  std::string data;
  test::put16(data, 0x1234);
  test::put16(data, 0xFEDC);
  const WaveResult r = wave_parse(bytes_of(riff(chunk("fmt ", fmt_body(1, 1, 22050, 16)) + chunk("data", data))));
  ASSERT_TRUE(r.ok) << r.problem;
  EXPECT_EQ(r.wave.channels, 1);
  EXPECT_EQ(r.wave.rate, 22050);
  EXPECT_EQ(r.wave.bits, 16);
  EXPECT_EQ(r.wave.samples, (std::vector<uint8_t>{0x34, 0x12, 0xDC, 0xFE}));
}

TEST(SoundWave, WalksPaddedChunksAndTakesTheFirstFmtAndData) {
  // An odd-length chunk before "fmt " is followed by its pad byte; a second "fmt " and a
  // second "data" are ignored.
  const std::string file = riff(chunk("LIST", "odd") + chunk("fmt ", fmt_body(1, 2, 11025, 8)) +
                                chunk("junk", "x") + chunk("data", "abcd") +
                                chunk("fmt ", fmt_body(1, 1, 44100, 16)) + chunk("data", "zz"));
  const WaveResult r = wave_parse(bytes_of(file));
  ASSERT_TRUE(r.ok) << r.problem;
  EXPECT_EQ(r.wave.channels, 2);
  EXPECT_EQ(r.wave.rate, 11025);
  EXPECT_EQ(r.wave.bits, 8);
  EXPECT_EQ(std::string(r.wave.samples.begin(), r.wave.samples.end()), "abcd");
}

TEST(SoundWave, FourteenByteFormatTakesBitsFromTheBlock) {
  const WaveResult r = wave_parse(bytes_of(riff(chunk("fmt ", fmt_body(1, 2, 8000, 16, false)) + chunk("data", "abcdefgh"))));
  ASSERT_TRUE(r.ok) << r.problem;
  EXPECT_EQ(r.wave.bits, 16);
  EXPECT_EQ(r.wave.channels, 2);
}

TEST(SoundWave, DropsAPartialLastFrame) {
  const WaveResult r = wave_parse(bytes_of(riff(chunk("fmt ", fmt_body(1, 2, 8000, 16)) + chunk("data", "abcdefg"))));
  ASSERT_TRUE(r.ok) << r.problem;
  EXPECT_EQ(r.wave.samples.size(), 4u);
}

TEST(SoundWave, RefusesDamagedAndForeignFiles) {
  const std::string fmt = chunk("fmt ", fmt_body(1, 1, 22050, 16));
  const std::string data = chunk("data", "abcd");
  std::string long_data = "data";
  test::put32(long_data, 1000);
  long_data += "abcd";
  std::string huge_chunk = "LIST";
  test::put32(huge_chunk, 0xFFFFFFFFu);
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"empty", ""},
      {"truncated header", riff(fmt + data).substr(0, 10)},
      {"not RIFF", "RIFX" + riff(fmt + data).substr(4)},
      {"not WAVE", riff(fmt + data).replace(8, 4, "AVI ")},
      {"no fmt", riff(data)},
      {"no data", riff(fmt)},
      {"fmt shorter than 14", riff(chunk("fmt ", fmt_body(1, 1, 22050, 16).substr(0, 12)) + data)},
      {"data past the end", riff(fmt + long_data)},
      {"chunk length past the end", riff(huge_chunk + fmt + data)},
      {"zero channels", riff(chunk("fmt ", fmt_body(1, 0, 22050, 16)) + data)},
      {"three channels", riff(chunk("fmt ", fmt_body(1, 3, 22050, 16)) + chunk("data", "abcdef"))},
      {"zero rate", riff(chunk("fmt ", fmt_body(1, 1, 0, 16)) + data)},
      {"rate too high", riff(chunk("fmt ", fmt_body(1, 1, 200000, 16)) + data)},
      {"24-bit", riff(chunk("fmt ", fmt_body(1, 1, 22050, 24)) + chunk("data", "abcdef"))},
      {"float", riff(chunk("fmt ", fmt_body(3, 1, 22050, 32)) + data)},
      {"ADPCM", riff(chunk("fmt ", fmt_body(2, 1, 22050, 4)) + data)},
      {"no samples", riff(fmt + chunk("data", ""))},
  };
  for (const Case& c : cases) {
    const WaveResult r = wave_parse(bytes_of(c.file));
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_FALSE(r.problem.empty()) << c.what;
  }
}

TEST(SoundWave, EveryTruncationAndByteChangeIsReadOrRefusedWithinTheFile) {
  const std::string good = riff(chunk("LIST", "odd") + chunk("fmt ", fmt_body(1, 2, 22050, 16)) + chunk("data", "abcdefgh"));
  for (size_t n = 0; n < good.size(); ++n) {
    const WaveResult r = wave_parse(bytes_of(good.substr(0, n)));
    if (r.ok) {
      EXPECT_LE(r.wave.samples.size(), n) << n;
    }
  }
  for (size_t i = 0; i < good.size(); ++i) {
    for (const uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      std::string bad = good;
      bad[i] = static_cast<char>(v);
      const WaveResult r = wave_parse(bytes_of(bad));
      if (r.ok) {
        EXPECT_LE(r.wave.samples.size(), bad.size()) << i;
        EXPECT_TRUE(r.wave.channels == 1 || r.wave.channels == 2) << i;
        EXPECT_TRUE(r.wave.bits == 8 || r.wave.bits == 16) << i;
      }
    }
  }
}

TEST(SoundWave, MissingFileIsRefused) {
  EXPECT_FALSE(wave_read("/nonexistent/korva/none.wav").ok);
}

TEST(SoundWave, StereoBecomesOneChannelOfAverages) {
  Wave w16{2, 8000, 16, {}};
  std::string s;
  test::put16(s, 1000);
  test::put16(s, static_cast<uint16_t>(-3000));
  w16.samples = bytes_of(s);
  const std::vector<uint8_t> m16 = wave_mono(w16);
  ASSERT_EQ(m16.size(), 2u);
  EXPECT_EQ(static_cast<int16_t>(m16[0] | m16[1] << 8), -1000);

  const Wave w8{2, 8000, 8, {10, 20, 255, 1}};
  EXPECT_EQ(wave_mono(w8), (std::vector<uint8_t>{15, 128}));
}

}  // namespace
}  // namespace korva
