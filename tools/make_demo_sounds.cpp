// Writes the short WAV files of the demo project into a directory: tones
// made here, in both sample sizes and both sample rates the receiver plays.
//
//   make_demo_sounds DIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Sound {
  const char* name;
  uint32_t rate;
  uint16_t bits;
  double seconds;
  double frequency;       // Hz at the start
  double glide;           // Hz per second
  double decay;           // amplitude falls by e every 1/decay seconds
};

const Sound SOUNDS[] = {
    {"horn.wav", 11025, 8, 0.40, 440, 0, 0.5},
    {"bell.wav", 22050, 16, 0.30, 1320, 0, 8},
    {"pfiff.wav", 11025, 16, 0.25, 1800, 400, 1},
    {"anfahr.wav", 11025, 8, 0.30, 80, 60, 0},
    {"fahrt1.wav", 11025, 8, 0.20, 110, 0, 0},
    {"fahrt2.wav", 22050, 16, 0.20, 150, 0, 0},
    {"brems.wav", 11025, 16, 0.30, 900, -600, 2},
};

void put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> wav(const Sound& s) {
  const double pi = 3.14159265358979323846;
  uint32_t count = static_cast<uint32_t>(s.seconds * s.rate);
  uint16_t block = s.bits / 8;
  std::vector<uint8_t> data;
  double phase = 0;
  for (uint32_t i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / s.rate;
    phase += 2 * pi * (s.frequency + s.glide * t) / s.rate;
    double v = 0.6 * std::exp(-s.decay * t) * std::sin(phase);
    if (s.bits == 8)
      put(data, static_cast<uint32_t>(std::lround(128 + 127 * v)), 1);
    else
      put(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * v))), 2);
  }
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  put(file, static_cast<uint32_t>(36 + data.size()), 4);
  for (char c : std::string("WAVEfmt ")) file.push_back(static_cast<uint8_t>(c));
  put(file, 16, 4);
  put(file, 1, 2);  // PCM
  put(file, 1, 2);  // mono
  put(file, s.rate, 4);
  put(file, s.rate * block, 4);
  put(file, block, 2);
  put(file, s.bits, 2);
  for (char c : std::string("data")) file.push_back(static_cast<uint8_t>(c));
  put(file, static_cast<uint32_t>(data.size()), 4);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_demo_sounds DIR\n");
    return 2;
  }
  for (const Sound& s : SOUNDS) {
    std::string path = std::string(argv[1]) + "/" + s.name;
    std::vector<uint8_t> bytes = wav(s);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || fclose(out) != 0) {
      perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
