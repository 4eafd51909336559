// The console's SVG picture, rendered by rsvg-convert and read back pixel by
// pixel: lines in their pen colours on exactly their pixels, white erasing
// by painting order, cs discarding, arcs, text and the XOR sprite.
//
// The PNG is decoded here (inflate and the row filters), so the test needs
// nothing beyond rsvg-convert; without it the test is skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/cli_runner.h"

namespace vex::test {
namespace {

// --- a small inflate (RFC 1951) ----------------------------------------------

class Inflater {
 public:
  explicit Inflater(const std::string& data) : in_(data) {}

  std::vector<uint8_t> Run() {
    pos_ = 2;  // the zlib header; the checksum at the end is not needed
    for (bool last = false; !last;) {
      last = Bits(1) == 1;
      switch (Bits(2)) {
        case 0:
          Stored();
          break;
        case 1:
          Fixed();
          break;
        case 2:
          Dynamic();
          break;
        default:
          throw std::runtime_error("bad block type");
      }
    }
    return out_;
  }

 private:
  struct Huffman {
    std::vector<int> count, symbol;
  };

  int Bits(int n) {
    while (bitCount_ < n) {
      if (pos_ >= in_.size()) throw std::runtime_error("input ended");
      bitBuffer_ |= uint32_t(uint8_t(in_[pos_++])) << bitCount_;
      bitCount_ += 8;
    }
    int v = int(bitBuffer_ & ((1u << n) - 1));
    bitBuffer_ >>= n;
    bitCount_ -= n;
    return v;
  }

  static Huffman Build(const std::vector<int>& lengths) {
    Huffman h{std::vector<int>(16, 0), std::vector<int>(lengths.size())};
    for (int len : lengths) ++h.count[len];
    h.count[0] = 0;
    std::vector<int> offset(16, 0);
    for (int len = 1; len < 15; ++len)
      offset[len + 1] = offset[len] + h.count[len];
    for (size_t s = 0; s < lengths.size(); ++s)
      if (lengths[s] != 0) h.symbol[offset[lengths[s]]++] = int(s);
    return h;
  }

  int Decode(const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len < 16; ++len) {
      code |= Bits(1);
      int count = h.count[len];
      if (code - count < first) return h.symbol[index + (code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    throw std::runtime_error("bad code");
  }

  void Stored() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    size_t len = uint8_t(in_.at(pos_)) | uint8_t(in_.at(pos_ + 1)) << 8;
    pos_ += 4;
    for (size_t i = 0; i < len; ++i) out_.push_back(uint8_t(in_.at(pos_++)));
  }

  void Codes(const Huffman& lencode, const Huffman& distcode) {
    static const int LBASE[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int LEXT[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int DBASE[] = {
        1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
        33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const int DEXT[] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                               4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                               9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
      int symbol = Decode(lencode);
      if (symbol < 256) {
        out_.push_back(uint8_t(symbol));
      } else if (symbol == 256) {
        return;
      } else {
        symbol -= 257;
        if (symbol >= 29) throw std::runtime_error("bad length");
        int len = LBASE[symbol] + Bits(LEXT[symbol]);
        int d = Decode(distcode);
        if (d >= 30) throw std::runtime_error("bad distance");
        size_t dist = size_t(DBASE[d] + Bits(DEXT[d]));
        if (dist > out_.size()) throw std::runtime_error("distance too far");
        for (int i = 0; i < len; ++i) out_.push_back(out_[out_.size() - dist]);
      }
    }
  }

  void Fixed() {
    std::vector<int> lengths(288);
    for (int s = 0; s < 288; ++s)
      lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    Codes(Build(lengths), Build(std::vector<int>(30, 5)));
  }

  void Dynamic() {
    static const int ORDER[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                  11, 4,  12, 3, 13, 2, 14, 1, 15};
    int nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
    std::vector<int> lengths(19, 0);
    for (int i = 0; i < ncode; ++i) lengths[ORDER[i]] = Bits(3);
    Huffman lencode = Build(lengths);
    lengths.assign(size_t(nlen + ndist), 0);
    for (int i = 0; i < nlen + ndist;) {
      int symbol = Decode(lencode);
      if (symbol < 16) {
        lengths[i++] = symbol;
        continue;
      }
      int value = 0, repeat = 0;
      if (symbol == 16) {
        if (i == 0) throw std::runtime_error("repeat without length");
        value = lengths[i - 1];
        repeat = 3 + Bits(2);
      } else {
        repeat = symbol == 17 ? 3 + Bits(3) : 11 + Bits(7);
      }
      if (i + repeat > nlen + ndist) throw std::runtime_error("too many");
      while (repeat-- > 0) lengths[i++] = value;
    }
    std::vector<int> dist(lengths.begin() + nlen, lengths.end());
    lengths.resize(size_t(nlen));
    Codes(Build(lengths), Build(dist));
  }

  const std::string& in_;
  size_t pos_ = 0;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  std::vector<uint8_t> out_;
};

// --- PNG (8-bit RGB or RGBA, not interlaced)
// ----------------------------------

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

class Picture {
 public:
  explicit Picture(const std::string& png) {
    if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
      throw std::runtime_error("not a PNG");
    std::string idat;
    int depth = 0, type = 0, interlace = 0;
    for (size_t p = 8; p + 8 <= png.size();) {
      size_t len = Be32(png, p);
      std::string kind = png.substr(p + 4, 4);
      std::string data = png.substr(p + 8, len);
      if (kind == "IHDR") {
        width_ = int(Be32(data, 0));
        height_ = int(Be32(data, 4));
        depth = uint8_t(data[8]);
        type = uint8_t(data[9]);
        interlace = uint8_t(data[12]);
      } else if (kind == "IDAT") {
        idat += data;
      }
      p += 12 + len;
    }
    if (depth != 8 || (type != 2 && type != 6) || interlace != 0)
      throw std::runtime_error("unsupported PNG form");
    bpp_ = type == 6 ? 4 : 3;
    std::vector<uint8_t> raw = Inflater(idat).Run();
    size_t stride = size_t(width_) * bpp_;
    if (raw.size() < (stride + 1) * size_t(height_))
      throw std::runtime_error("short image data");
    pixels_.assign(stride * size_t(height_), 0);
    for (int y = 0; y < height_; ++y) {
      int filter = raw[size_t(y) * (stride + 1)];
      const uint8_t* src = &raw[size_t(y) * (stride + 1) + 1];
      uint8_t* row = &pixels_[size_t(y) * stride];
      const uint8_t* up = y > 0 ? row - stride : nullptr;
      for (size_t i = 0; i < stride; ++i) {
        int a = i >= size_t(bpp_) ? row[i - bpp_] : 0;
        int b = up ? up[i] : 0;
        int c = up && i >= size_t(bpp_) ? up[i - bpp_] : 0;
        int pred = 0;
        switch (filter) {
          case 1:
            pred = a;
            break;
          case 2:
            pred = b;
            break;
          case 3:
            pred = (a + b) / 2;
            break;
          case 4: {
            int pa = std::abs(b - c), pb = std::abs(a - c),
                pc = std::abs(a + b - 2 * c);
            pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            break;
          }
          default:
            break;
        }
        row[i] = uint8_t(src[i] + pred);
      }
    }
  }

  int width() const { return width_; }
  int height() const { return height_; }
  Rgb At(int x, int y) const {
    const uint8_t* p =
        &pixels_[(size_t(y) * size_t(width_) + size_t(x)) * size_t(bpp_)];
    return {p[0], p[1], p[2]};
  }

 private:
  static size_t Be32(const std::string& s, size_t p) {
    return size_t(uint8_t(s.at(p))) << 24 | size_t(uint8_t(s.at(p + 1))) << 16 |
           size_t(uint8_t(s.at(p + 2))) << 8 | size_t(uint8_t(s.at(p + 3)));
  }

  int width_ = 0, height_ = 0, bpp_ = 3;
  std::vector<uint8_t> pixels_;
};

const Rgb WHITE{255, 255, 255};
const Rgb RED{255, 0, 0};
const Rgb GREEN{0, 255, 0};
const Rgb MAGENTA{255, 0, 255};

TEST(TurtleSvg, RenderedPictureShowsWhatTheWindowWould) {
  if (std::system("command -v rsvg-convert > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "rsvg-convert is not installed";
  ScratchDir dir;
  // A client of 200 x 160: the origin is pixel (100, 80).
  CliResult r = RunCli(
      dir.path(),
      {"--size", "200x160", "--svg", "pic.svg",
       // a blue line that cs discards
       "-e", "(progn (ht) (setpc 1) (fd 50) (cs))",
       // a red line from the origin 60 pixels to the right
       "-e", "(progn (setpc 4) (rt 90) (fd 60))",
       // a white line crossing it at x = 130
       "-e", "(progn (setpc 7) (pu) (setpos 30 -10) (pd) (setpos 30 10))",
       // a green circle in the rectangle (30, 30)-(70, 70)
       "-e", "(progn (setpc 2) (arc -70 -50 -30 -10 0 0 0 0))", "-e",
       "(print 'hello 120 120)",
       // the sprite at pixel (50, 120), pointing up
       "-e", "(progn (pu) (setpos -50 40) (setangle 0) (st))"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string command = "rsvg-convert -f png -o '" + dir.path() +
                        "/pic.png' '" + dir.path() + "/pic.svg'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  Picture pic(dir.ReadBytes("pic.png"));
  ASSERT_EQ(pic.width(), 200);
  ASSERT_EQ(pic.height(), 160);

  // The red line covers its start pixel, not its end pixel, one pixel wide.
  EXPECT_EQ(pic.At(100, 80), RED);
  EXPECT_EQ(pic.At(115, 80), RED);
  EXPECT_EQ(pic.At(159, 80), RED);
  EXPECT_EQ(pic.At(160, 80), WHITE);
  EXPECT_EQ(pic.At(99, 80), WHITE);
  EXPECT_EQ(pic.At(115, 79), WHITE);
  EXPECT_EQ(pic.At(115, 81), WHITE);
  // The white line drawn later erased the red one where it crossed.
  EXPECT_EQ(pic.At(130, 80), WHITE);
  EXPECT_EQ(pic.At(129, 80), RED);
  EXPECT_EQ(pic.At(131, 80), RED);
  // The blue line was cleared away.
  for (int y = 31; y < 80; ++y) EXPECT_EQ(pic.At(100, y), WHITE) << y;

  // The circle passes through the outermost pixels of its rectangle.
  auto greenNear = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (pic.At(x + dx, y + dy) == GREEN) return true;
    return false;
  };
  EXPECT_TRUE(greenNear(69, 50));
  EXPECT_TRUE(greenNear(30, 50));
  EXPECT_TRUE(greenNear(50, 30));
  EXPECT_TRUE(greenNear(50, 69));
  EXPECT_EQ(pic.At(50, 50), WHITE);

  // Text sits in the box right and below its pixel.
  int dark = 0;
  for (int y = 120; y < 136; ++y)
    for (int x = 120; x < 168; ++x) dark += pic.At(x, y).r < 128 ? 1 : 0;
  EXPECT_GT(dark, 10);
  EXPECT_EQ(pic.At(119, 119), WHITE);

  // The XOR sprite on white is magenta: its shaft runs up from the turtle.
  EXPECT_EQ(pic.At(50, 120), MAGENTA);
  EXPECT_EQ(pic.At(50, 110), MAGENTA);
  EXPECT_EQ(pic.At(51, 110), WHITE);
}

TEST(TurtleSvg, ACircleDrawnOverAndOverKeepsOneLapAndItsPixels) {
  if (std::system("command -v rsvg-convert > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "rsvg-convert is not installed";
  ScratchDir dir;
  // Twenty laps of a circle, a red line across it, one more lap over it.
  // In the full form a zero-length line of another pen after each step
  // keeps every segment an element of its own and never a repeat.
  auto draw = [&](const std::string& name, const std::string& step) {
    auto lap = [&](int n) {
      return "(setq n 0) (loop ((= n " + std::to_string(120 * n) + ") T) " +
             step + " (setq n (+ n 1)))";
    };
    CliResult r = RunCli(
        dir.path(), {"--size", "200x160", "--svg", name + ".svg", "-e",
                     "(progn (ht) (setpc 1) " + lap(20) +
                         " (setpc 4) (pu) (setpos 38 -60) (pd) (setpos 38 60) "
                         "(pu) (setpos 0 0) (setangle 0) (pd) (setpc 1) " +
                         lap(1) + ")"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string png = dir.path() + "/" + name + ".png";
    EXPECT_EQ(std::system(("rsvg-convert -f png -o '" + png + "' '" +
                           dir.path() + "/" + name + ".svg'")
                              .c_str()),
              0);
    return Picture(dir.ReadBytes(name + ".png"));
  };
  Picture compact = draw("compact", "(fd 2) (rt 3)");
  Picture full = draw("full", "(fd 2) (setpc 4) (fd 0) (setpc 1) (rt 3)");
  int differ = 0;
  for (int y = 0; y < full.height(); ++y)
    for (int x = 0; x < full.width(); ++x)
      differ += compact.At(x, y) == full.At(x, y) ? 0 : 1;
  EXPECT_EQ(differ, 0);
  // The red line shows, and the last lap over it where they cross.
  int red = 0, blue = 0;
  for (int y = 0; y < full.height(); ++y) {
    red += compact.At(138, y) == RED ? 1 : 0;
    blue += compact.At(138, y) == Rgb{0, 0, 255} ? 1 : 0;
  }
  EXPECT_GT(red, 0);
  EXPECT_GT(blue, 0);
  EXPECT_LT(dir.ReadBytes("compact.svg").size(),
            dir.ReadBytes("full.svg").size());
}

}  // namespace
}  // namespace vex::test
