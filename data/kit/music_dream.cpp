// The demo's music: about 84 seconds in A minor at 125 BPM (speed 6, 64-row patterns of four
// bars), over the chords Am F C G. Three channels carry only sync commands for the demo:
//   camera cuts Z01-Z06 on phrase boundaries (rows 0 and 32),
//   overlay changes Z11-Z14 and one Z00 at pattern starts (and some phrase middles),
//   Z21 flashes on accents, Z30 at each section start (it restarts the car's burst).
#include "kit/kit.h"
#include "kit/synth.h"

namespace zelk4::kit {
namespace {

enum Channel { kKick, kSnare, kHat, kBass, kLead, kPad1, kPad2, kPad3, kCrash, kSyncCamera, kSyncOverlay, kSyncFlash, kChannels };
enum Instrument : uint8_t { kInsKick = 1, kInsSnare, kInsHat, kInsCrash, kInsBass, kInsLead, kInsPad };

constexpr int kRows = 64;

// Note numbers: 1 = C-0.
constexpr uint8_t N(int semitone, int octave) { return static_cast<uint8_t>(octave * 12 + semitone + 1); }
enum { C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11 };
constexpr uint8_t Vol(int v) { return static_cast<uint8_t>(0x10 + v); }

// Bar chords: pad voicing and bass root.
struct Chord {
  uint8_t pad[3];
  uint8_t root;
};
const Chord kChords[4] = {
    {{N(A, 3), N(C, 4), N(E, 4)}, N(A, 1)},
    {{N(A, 3), N(C, 4), N(F, 4)}, N(F, 1)},
    {{N(G, 3), N(C, 4), N(E, 4)}, N(C, 2)},
    {{N(G, 3), N(B, 3), N(D, 4)}, N(G, 1)},
};

struct Phrase {
  int row;
  uint8_t note;  // kXmNoteOff for a release
};

void Play(XmPattern& p, int row, int channel, uint8_t note, uint8_t instrument, int volume = -1) {
  XmCell& c = p.At(row, channel);
  c.note = note;
  if (note != kXmNoteOff) c.instrument = instrument;
  if (volume >= 0) c.volume = Vol(volume);
}

void Sync(XmPattern& p, int row, int channel, uint8_t value) {
  XmCell& c = p.At(row, channel);
  c.effect = kXmEffectZ;
  c.param = value;
}

void Pads(XmPattern& p, int volume) {
  for (int bar = 0; bar < 4; ++bar) {
    for (int v = 0; v < 3; ++v) Play(p, bar * 16, kPad1 + v, kChords[bar].pad[v], kInsPad, volume);
  }
}

void Kicks(XmPattern& p, int fromRow = 0) {
  for (int r = fromRow; r < kRows; r += 4) Play(p, r, kKick, N(C, 4), kInsKick, 64);
}

void Snares(XmPattern& p) {
  for (int r = 4; r < kRows; r += 8) Play(p, r, kSnare, N(C, 4), kInsSnare, 52);
}

void Hats(XmPattern& p, bool sixteenths, int loud) {
  for (int r = 0; r < kRows; ++r) {
    if (r % 4 == 2) Play(p, r, kHat, N(C, 4), kInsHat, loud);
    else if (sixteenths && r % 2 == 1) Play(p, r, kHat, N(C, 4), kInsHat, loud / 2);
  }
}

void Bass(XmPattern& p, int volume) {
  static const int kRowsInBar[6] = {0, 3, 6, 8, 11, 14};
  static const int kInterval[6] = {0, 0, 12, 0, 7, 12};
  for (int bar = 0; bar < 4; ++bar) {
    for (int k = 0; k < 6; ++k) {
      Play(p, bar * 16 + kRowsInBar[k], kBass, uint8_t(kChords[bar].root + kInterval[k]), kInsBass,
           k % 2 ? volume - 12 : volume);
    }
  }
}

void Lead(XmPattern& p, const std::vector<Phrase>& phrase, int transpose, int volume) {
  for (const Phrase& ph : phrase) {
    Play(p, ph.row, kLead, ph.note == kXmNoteOff ? kXmNoteOff : uint8_t(ph.note + transpose), kInsLead, volume);
  }
}

void Crash(XmPattern& p, int row, int volume) { Play(p, row, kCrash, N(C, 4), kInsCrash, volume); }

void Cameras(XmPattern& p, uint8_t first, uint8_t second) {
  Sync(p, 0, kSyncCamera, first);
  Sync(p, 32, kSyncCamera, second);
}

const std::vector<Phrase> kMelodyA = {
    {0, N(A, 4)}, {6, N(C, 5)}, {8, N(E, 5)}, {12, N(D, 5)}, {14, N(C, 5)},
    {16, N(C, 5)}, {22, N(A, 4)}, {24, N(C, 5)}, {28, N(D, 5)},
    {32, N(E, 5)}, {38, N(G, 5)}, {40, N(E, 5)}, {44, N(D, 5)}, {46, N(C, 5)},
    {48, N(D, 5)}, {54, N(B, 4)}, {56, N(G, 4)}, {60, N(D, 5)}, {63, kXmNoteOff}};
const std::vector<Phrase> kMelodyB = {
    {0, N(E, 5)}, {4, N(A, 5)}, {8, N(G, 5)}, {10, N(E, 5)}, {12, N(D, 5)}, {14, N(E, 5)},
    {16, N(C, 5)}, {20, N(F, 5)}, {24, N(E, 5)}, {28, N(C, 5)},
    {32, N(G, 5)}, {36, N(E, 5)}, {40, N(C, 5)}, {44, N(D, 5)}, {46, N(E, 5)},
    {48, N(B, 4)}, {52, N(D, 5)}, {56, N(G, 5)}, {60, N(A, 5)}, {63, kXmNoteOff}};
const std::vector<Phrase> kMelodyBreak = {
    {0, N(E, 5)}, {12, kXmNoteOff}, {16, N(C, 5)}, {28, kXmNoteOff},
    {32, N(G, 5)}, {44, kXmNoteOff}, {48, N(B, 4)}, {56, N(D, 5)}, {62, kXmNoteOff}};

XmPattern NewPattern() { return XmPattern(kRows, kChannels); }

XmPattern Intro() {
  XmPattern p = NewPattern();
  Pads(p, 35);
  Hats(p, false, 24);
  Crash(p, 0, 40);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x11);
  Cameras(p, 0x05, 0x01);
  Sync(p, 60, kSyncFlash, 0x21);
  return p;
}

XmPattern Build() {
  XmPattern p = NewPattern();
  Pads(p, 38);
  Hats(p, true, 30);
  Kicks(p, 32);
  Bass(p, 40);
  for (int r = 48; r < kRows; ++r) Play(p, r, kSnare, N(C, 4), kInsSnare, 16 + (r - 48) * 3);  // roll
  Sync(p, 0, kSyncOverlay, 0x12);
  Cameras(p, 0x03, 0x02);
  Sync(p, 32, kSyncFlash, 0x21);
  Sync(p, 48, kSyncOverlay, 0x14);
  return p;
}

XmPattern Groove(bool fill) {
  XmPattern p = NewPattern();
  Pads(p, 29);
  Kicks(p);
  Snares(p);
  Hats(p, true, 34);
  Bass(p, 48);
  Crash(p, 0, 44);
  if (fill) {
    for (int r = 56; r < kRows; r += 2) Play(p, r, kSnare, N(C, 4), kInsSnare, 40 + (r - 56) * 3);
    Play(p, 62, kKick, N(C, 4), kInsKick, 64);
  }
  Play(p, 28, kSnare, N(C, 4), kInsSnare, 64);  // accents with flashes
  Play(p, 60, kSnare, N(C, 4), kInsSnare, 64);
  Sync(p, 28, kSyncFlash, 0x21);
  Sync(p, 60, kSyncFlash, 0x21);
  return p;
}

XmPattern GrooveA() {
  XmPattern p = Groove(false);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x13);
  Sync(p, 32, kSyncOverlay, 0x11);
  Cameras(p, 0x01, 0x04);
  return p;
}

XmPattern GrooveAFill() {
  XmPattern p = Groove(true);
  Sync(p, 0, kSyncOverlay, 0x14);
  Cameras(p, 0x06, 0x03);
  return p;
}

XmPattern MelodyA() {
  XmPattern p = Groove(false);
  Lead(p, kMelodyA, 0, 64);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x11);
  Sync(p, 32, kSyncOverlay, 0x12);
  Cameras(p, 0x02, 0x05);
  return p;
}

XmPattern MelodyB() {
  XmPattern p = Groove(true);
  Lead(p, kMelodyB, 0, 64);
  Sync(p, 0, kSyncOverlay, 0x13);
  Cameras(p, 0x04, 0x06);
  return p;
}

XmPattern Break() {
  XmPattern p = NewPattern();
  Pads(p, 42);
  Lead(p, kMelodyBreak, 0, 54);
  Crash(p, 0, 48);
  Play(p, 0, kBass, N(A, 1), kInsBass, 56);
  Play(p, 14, kBass, kXmNoteOff, 0);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x00);  // the fourth overlay, by the 0 command
  Cameras(p, 0x05, 0x03);
  for (int r = 16; r < kRows; r += 16) Sync(p, r, kSyncFlash, 0x21);
  for (int r = 56; r < kRows; ++r) Play(p, r, kHat, N(C, 4), kInsHat, 20 + (r - 56) * 5);
  return p;
}

XmPattern Peak() {
  XmPattern p = Groove(false);
  Lead(p, kMelodyA, 12, 56);
  Crash(p, 32, 40);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x12);
  Sync(p, 32, kSyncOverlay, 0x13);
  Cameras(p, 0x06, 0x01);
  return p;
}

XmPattern Outro() {
  XmPattern p = NewPattern();
  Pads(p, 32);
  for (int r = 0; r < 32; r += 4) Play(p, r, kKick, N(C, 4), kInsKick, 60 - r);
  Hats(p, false, 20);
  Play(p, 0, kBass, N(A, 1), kInsBass, 50);
  Play(p, 30, kBass, kXmNoteOff, 0);
  Lead(p, {{0, N(E, 5)}, {8, N(D, 5)}, {16, N(C, 5)}, {32, N(E, 5)}, {48, N(A, 4)}, {60, kXmNoteOff}}, 0, 50);
  for (int v = 0; v < 3; ++v) Play(p, 62, kPad1 + v, kXmNoteOff, 0);
  Sync(p, 0, kSyncFlash, 0x30);
  Sync(p, 0, kSyncOverlay, 0x11);
  Cameras(p, 0x03, 0x05);
  Sync(p, 48, kSyncFlash, 0x21);
  return p;
}

XmInstrument Drum(const char* name, std::vector<int16_t> data, uint8_t volume, uint8_t panning) {
  XmInstrument ins;
  ins.name = name;
  ins.sample.name = name;
  ins.sample.data = std::move(data);
  ins.sample.volume = volume;
  ins.sample.panning = panning;
  ins.sample.relativeNote = kSynthRelativeNote;
  return ins;
}

XmInstrument Tonal(const char* name, std::vector<int16_t> data, uint8_t volume, XmEnvelope envelope, uint16_t fadeout) {
  XmInstrument ins = Drum(name, std::move(data), volume, 128);
  ins.sample.loopStart = 0;
  ins.sample.loopLength = static_cast<uint32_t>(ins.sample.data.size());
  ins.volumeEnvelope = std::move(envelope);
  ins.fadeout = fadeout;
  return ins;
}

}  // namespace

XmModule DreamModule() {
  XmModule m;
  m.name = "ZELK4 dream";
  m.channels = kChannels;
  m.speed = 6;
  m.bpm = 125;
  m.patterns = {Intro(), Build(), GrooveA(), GrooveAFill(), MelodyA(), MelodyB(), Break(), Peak(), Outro()};
  m.order = {0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 8};
  m.restartPosition = 2;

  XmEnvelope bass{{{0, 64}, {6, 50}, {24, 38}, {60, 34}}, 3};
  XmEnvelope lead{{{0, 44}, {2, 64}, {14, 46}, {40, 40}}, 3};
  XmEnvelope pad{{{0, 8}, {24, 48}, {60, 56}, {120, 48}}, 3};
  m.instruments = {Drum("kick", KickDrum(), 64, 128),
                   Drum("snare", SnareDrum(), 44, 120),
                   Drum("hihat", HiHat(), 26, 164),
                   Drum("crash", Crash(), 30, 100),
                   Tonal("bass", BassCycle(), 46, bass, 3000),
                   Tonal("lead", LeadLoop(), 60, lead, 900),
                   Tonal("pad", PadLoop(), 20, pad, 400)};
  XmInstrument& leadIns = m.instruments[5];
  leadIns.vibratoType = 0;
  leadIns.vibratoSweep = 40;
  leadIns.vibratoDepth = 4;
  leadIns.vibratoRate = 10;
  return m;
}

}  // namespace zelk4::kit
