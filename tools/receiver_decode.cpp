#include "receiver_decode.h"

#include <cstdio>

namespace {

const uint8_t OPENING_PACKET[] = {0x24, 0x80, 0x11, 0x17, 0x04, 0xA6};
const uint8_t FRAME_START[] = {0x76, 0xFF, 0xFF, 0x23};
const size_t FRAME_DATA = 528;
const size_t PAGE_TAIL = 96;
const size_t PAGE = 264;
const size_t HEADER_PAGES = 2;
const size_t DIRECTORY_PAGES = 16;
const int SLOTS = 528;
const uint8_t END_BYTE = 0x33;

uint32_t offset_of(uint32_t flash_address) {
  return (flash_address >> 9) * PAGE + (flash_address & 0x1FF);
}

std::string format(const char* format, size_t value) {
  char text[200];
  snprintf(text, sizeof text, format, value);
  return text;
}

bool starts_with(const std::vector<uint8_t>& s, size_t at, const uint8_t* bytes,
                 size_t count) {
  if (at > s.size() || s.size() - at < count) return false;
  for (size_t i = 0; i < count; ++i)
    if (s[at + i] != bytes[i]) return false;
  return true;
}

ReceivedStream refuse(ReceivedStream r, const std::string& why) {
  r.accepted = false;
  r.refusal = why;
  return r;
}

// Drops a zero page that only completes the last frame: the directory says
// where the sounds end.
bool trim_to_directory(ReceivedStream& r, std::string* why) {
  size_t end = (HEADER_PAGES + DIRECTORY_PAGES) * PAGE;
  for (const SlotEntry& slot : sounding_slots(r.image)) {
    size_t slot_end = size_t{slot.image_offset} + slot.samples;
    if (slot_end > end) end = slot_end;
  }
  size_t needed = (end + PAGE - 1) / PAGE * PAGE;
  if (needed > r.image.size()) {
    *why = format("Sounds reichen bis Byte %zu, empfangen wurden nur ", end) +
           format("%zu Bytes", r.image.size());
    return false;
  }
  for (size_t i = needed; i < r.image.size(); ++i) {
    if (r.image[i] != 0) {
      *why = format("Seite %zu hinter dem letzten Sound ist nicht leer", i / PAGE);
      return false;
    }
  }
  if (r.image.size() - needed > PAGE) {
    *why = format("%zu Seiten zu viel hinter dem letzten Sound", (r.image.size() - needed) / PAGE);
    return false;
  }
  r.image.resize(needed);
  return true;
}

bool same_entry(const SlotEntry& a, const SlotEntry& b) {
  return a.samples == b.samples && a.flash_address == b.flash_address &&
         a.is22kHz == b.is22kHz && a.ni == b.ni && a.pi == b.pi;
}

}  // namespace

ReceivedStream decode_stream(const std::vector<uint8_t>& s, uint32_t flash_size) {
  ReceivedStream r;
  size_t at = 0;
  if (!starts_with(s, 0, OPENING_PACKET, sizeof OPENING_PACKET))
    return refuse(r, "kein Eröffnungspaket (24 80 11 17 04 A6) am Anfang");
  r.opening_packet = true;
  at = sizeof OPENING_PACKET;
  if (at == s.size() || (at + 1 == s.size() && s[at] == END_BYTE)) {
    r.file_mode_only = true;
    return refuse(r, "nur das Eröffnungspaket, keine Programmierung (Dateimodus oder Abbruch)");
  }

  if (s[at] == 0x41) {
    r.reset_byte = true;
    ++at;
  }
  size_t preamble = 0;
  while (at + preamble < s.size() && s[at + preamble] == 0x55) ++preamble;
  if (preamble > 0) {
    if (preamble != 600)
      return refuse(r, format("Reset-Vorspann mit %zu statt 600 Bytes 0x55", preamble));
    r.preamble = true;
    at += preamble;
  }
  if (at < s.size() && s[at] == 0x17) {
    r.wake = WakeKind::flagged;
    ++at;
  } else {
    for (int b = 0xF3; b <= 0xFF; ++b, ++at)
      if (at >= s.size() || s[at] != b)
        return refuse(r, format("Weckbytes fehlen (Byte %zu)", at));
    r.wake = WakeKind::unflagged;
  }

  while (at < s.size() && s[at] != END_BYTE) {
    if (!starts_with(s, at, FRAME_START, sizeof FRAME_START))
      return refuse(r, format("fehlerhafter Rahmen: kein Seitenstart bei Byte %zu", at));
    size_t data = at + sizeof FRAME_START;
    if (s.size() < data + FRAME_DATA + PAGE_TAIL)
      return refuse(r, format("Rahmen %zu unvollständig", static_cast<size_t>(r.frames)));
    for (size_t i = 0; i < PAGE_TAIL; ++i)
      if (s[data + FRAME_DATA + i] != 0xFF)
        return refuse(r, format("Seitenende von Rahmen %zu ist nicht 96 x 0xFF",
                                static_cast<size_t>(r.frames)));
    r.image.insert(r.image.end(), s.begin() + static_cast<long>(data),
                   s.begin() + static_cast<long>(data + FRAME_DATA));
    ++r.frames;
    at = data + FRAME_DATA + PAGE_TAIL;
  }
  if (at >= s.size()) return refuse(r, "Übertragung unvollständig: kein Endbyte 0x33");
  r.end_byte = true;
  ++at;
  if (s.size() - at < 2) return refuse(r, "Übertragung unvollständig: Prüfsumme fehlt");
  r.checksum_received = static_cast<uint16_t>(s[at] | s[at + 1] << 8);
  r.complete = true;
  at += 2;
  if (at != s.size())
    return refuse(r, format("%zu Bytes nach der Prüfsumme", s.size() - at));
  if (r.frames == 0) return refuse(r, "keine Seite empfangen");
  if (r.image.size() > flash_size)
    return refuse(r, format("Image mit %zu Bytes ist größer als der Flash", r.image.size()));

  for (uint8_t b : r.image) r.checksum_computed += b;
  if ((r.checksum_computed & 0xFFFF) != r.checksum_received)
    return refuse(r, format("Prüfsumme falsch: empfangen 0x%04zx", r.checksum_received) +
                         format(", berechnet 0x%04zx", r.checksum_computed & 0xFFFF));
  std::string why;
  if (r.frames > 1 && !trim_to_directory(r, &why)) return refuse(r, why);
  r.accepted = true;
  return r;
}

std::vector<SlotEntry> sounding_slots(const std::vector<uint8_t>& image) {
  std::vector<SlotEntry> slots;
  size_t directory = HEADER_PAGES * PAGE;
  for (int slot = 0; slot < SLOTS; ++slot) {
    size_t at = directory + static_cast<size_t>(slot) * 8;
    if (at + 8 > image.size()) break;
    const uint8_t* e = &image[at];
    uint32_t negated = e[0] | e[1] << 8 | e[6] << 16;
    uint32_t samples = (0u - negated) & 0xFFFFFF;
    if (samples == 0) continue;
    SlotEntry entry;
    entry.slot = slot;
    entry.samples = samples;
    entry.flash_address = e[2] | e[3] << 8 | e[4] << 16;
    entry.image_offset = offset_of(entry.flash_address);
    entry.is22kHz = (e[7] & 1) == 0;
    entry.ni = e[5];
    entry.pi = static_cast<uint8_t>(e[7] >> 1);
    slots.push_back(entry);
  }
  return slots;
}

std::string format_report(const ReceivedStream& r) {
  std::string report;
  char line[300];
  snprintf(line, sizeof line, "Empfangen: %d Rahmen, %zu Seiten, Endbyte %s, Prüfsumme 0x%04x",
           r.frames, r.image.size() / PAGE, r.end_byte ? "ja" : "nein",
           r.checksum_received);
  report += line;
  report += r.accepted ? " stimmt\n" : "\n";
  snprintf(line, sizeof line, "Empfänger: %s, Reset %s\n",
           r.wake == WakeKind::flagged ? "Mega168/XMega (Weckbyte 0x17)"
           : r.wake == WakeKind::unflagged ? "Standard (Weckbytes F3..FF)"
                                           : "nicht geweckt",
           r.reset_byte || r.preamble ? "gesehen" : "ohne Bytes");
  report += line;
  if (!r.accepted) {
    report += "ABGELEHNT: " + r.refusal + "\n";
    return report;
  }

  report += "CVs ungleich 0xFF:";
  bool any = false;
  for (int cv = 1; cv <= 256; ++cv) {
    if (r.image[static_cast<size_t>(cv - 1)] == 0xFF) continue;
    snprintf(line, sizeof line, " %d=%d", cv, r.image[static_cast<size_t>(cv - 1)]);
    report += line;
    any = true;
  }
  report += any ? "\n" : " keine\n";

  std::vector<SlotEntry> slots = sounding_slots(r.image);
  if (!slots.empty()) {
    // Consecutive slots with the same entry (the repeated slots of a
    // series) share one line.
    report += "Slot       (Blk)  Samples Sekunden  Adresse   Offset  ni pi\n";
    for (size_t i = 0; i < slots.size();) {
      const SlotEntry& s = slots[i];
      size_t last = i;
      while (last + 1 < slots.size() && slots[last + 1].slot == slots[last].slot + 1 &&
             same_entry(slots[last + 1], s))
        ++last;
      char slot_range[32];
      if (last == i)
        snprintf(slot_range, sizeof slot_range, "%d", s.slot);
      else
        snprintf(slot_range, sizeof slot_range, "%d-%d", s.slot, slots[last].slot);
      double seconds = s.samples / (s.is22kHz ? 22050.0 : 11025.0);
      snprintf(line, sizeof line, "%-10s (%2x) %8u %8.2f 0x%06x %8u  %02x %02x%s\n",
               slot_range, s.slot % 132, s.samples, seconds, s.flash_address,
               s.image_offset, s.ni, s.pi, s.is22kHz ? "  22kHz" : "");
      report += line;
      i = last + 1;
    }
  }
  snprintf(line, sizeof line, "Ergebnis: Image vollständig und korrekt (%zu Bytes, %zu Sounds)\n",
           r.image.size(), slots.size());
  report += line;
  return report;
}
