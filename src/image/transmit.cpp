// The image in image order: header, directory, sample pages, checksum; in
// serial mode two pages to a frame, in file mode plain bytes.
#include <cstdio>
#include <cstring>

#include "driver/report.h"
#include "image/image.h"
#include "link/link.h"

namespace {

const uint8_t END_BYTE = 0x33;
const uint32_t MAX_SLOT_LENGTH = 0xFFFFFF;  // the entry's length field
const uint32_t SAMPLE_PAGE_PAUSE_MS = 120;

// Every frame holds two pages: the page opens a frame or completes one.
void frame_step(RunState& run) {
  ImageState& image = run.image;
  if (image.frame_half) {
    image.frame_half = false;
    return;
  }
  end_page_frame(run);
  begin_page_frame(run);
  image.frame_half = true;
}

void complete_page_with_zeros(RunState& run) {
  while (run.image.page_byte_count < PAGE_SIZE) sink_byte(run, 0);
}

void directory_page_boundary(RunState& run) {
  complete_page_with_zeros(run);
  frame_step(run);
  ++run.image.page_number;
  run.image.page_byte_count = 0;
}

void list_slot_start(RunState& run, int slot) {
  const SlotTable& s = run.slots;
  say(run.out, "%4d (%2x): %s ", slot, slot % SLOT_BLOCK, s.path[slot]);
  if (s.is22kHz[slot]) say(run.out, "22kHz ");
  say(run.out, "%lx %lx ", static_cast<unsigned long>(s.length[slot]),
      static_cast<unsigned long>(s.offset[slot]));
}

void list_slot_entry(RunState& run, int slot) {
  const SlotTable& s = run.slots;
  say(run.out, " so=0x%lx l=0x%lx ptr=0x%lx ni=%2.2x pi=%2.2x\n",
      static_cast<unsigned long>(s.offset[slot]),
      static_cast<unsigned long>(0u - s.length[slot]),
      static_cast<unsigned long>(flash_address(s.offset[slot])), s.ni[slot], s.pi[slot]);
}

void write_directory(RunState& run) {
  run.image.directory_page = 0;
  for (int i = 0; i < SLOT_COUNT; ++i) {
    if (i != 0 && i % SLOTS_PER_PAGE == 0) {
      ++run.image.directory_page;
      if (run.diagnostic)
        say(run.out, "i=%3d (%2x), page=%d\n", i, i % SLOT_BLOCK, run.image.directory_page);
      directory_page_boundary(run);
    }
    uint32_t length = run.slots.length[i];
    if (length != 0 && run.slots.offset[i] != 0) {
      if (run.diagnostic) list_slot_start(run, i);
      if (length > MAX_SLOT_LENGTH)
        fail(run, 77, run.out, "%s  Länge zu groß: %ld\n", run.slots.path[i],
             static_cast<long>(length));
      if (run.diagnostic) list_slot_entry(run, i);
    }
    uint8_t entry[8];
    directory_entry(run, i, entry);
    for (uint8_t b : entry) {
      sink_byte(run, b);
      run.image.checksum += b;
    }
  }
}

void sink_sample_page(RunState& run) {
  for (uint8_t staged : run.image.page_area) {
    uint8_t v = static_cast<uint8_t>(staged + 128);
    run.image.checksum += v;
    sink_byte(run, v);
  }
}

void close_staging_file(RunState& run) {
  if (run.staging.file) fclose(run.staging.file);
  run.staging.file = nullptr;
  run.platform->remove_file(STAGING_FILE_NAME);
}

void send_header(RunState& run) {
  ImageState& image = run.image;
  begin_page_frame(run);
  for (uint8_t b : image.header) image.checksum += b;
  if (run.file_mode)
    write_output(run, image.header, HEADER_SIZE);
  else
    auxoutblock(run, image.header, HEADER_SIZE, true);
  end_page_frame(run);
}

void send_sample_pages(RunState& run) {
  ImageState& image = run.image;
  size_t got;
  for (;;) {
    memset(image.page_area, 0x80, sizeof image.page_area);
    got = fread(image.page_area, 1, PAGE_SIZE, run.staging.file);
    if (got < PAGE_SIZE) break;
    frame_step(run);
    sink_sample_page(run);
    say(run.err, "%4d\r", image.page_number);
    ++image.page_number;
  }
  close_staging_file(run);
  if (got != 0) {
    // The staged bytes are followed by 0x80 fill, which is sent as 0.
    frame_step(run);
    sink_sample_page(run);
    say(run.out, "%4d\n", image.page_number - 1);
  }
}

}  // namespace

void transmit_image(RunState& run) {
  int earlier_refusal_status = run.link.refused_write_status;
  run.link.refused_write_status = IMAGE_WRITE_REFUSED;
  ImageState& image = run.image;

  send_header(run);

  if (run.options.cv_only) {
    // The serial link is open in every run, so the end byte goes out in
    // file mode too.
    auxout(run, END_BYTE);
    close_staging_file(run);
  } else {
    image.frame_half = true;
    begin_page_frame(run);
    image.page_byte_count = 0;
    write_directory(run);
    complete_page_with_zeros(run);
    flush_page_buffer(run);  // the last two directory pages, as one block

    fclose(run.file_list);
    run.file_list = nullptr;
    run.staging.file = open_or_exit(run, STAGING_FILE_NAME, "rb");
    say(run.out, "%4d von %d Pages werden programmiert\n",
        static_cast<int>(run.staging.image_end / PAGE_SIZE) - 2,
        static_cast<int>(run.options.flash_size / PAGE_SIZE) - 2);
    if (!run.file_mode) run.platform->sleep_ms(SAMPLE_PAGE_PAUSE_MS);

    send_sample_pages(run);

    if (!run.file_mode) {
      if (image.frame_half) {
        // An odd last page: a zero page completes its frame.
        image.page_byte_count = 0;
        complete_page_with_zeros(run);
      }
      end_page_frame(run);
      auxout(run, END_BYTE);
    }
  }

  send_checksum(run);
  if (run.file_mode) close_output_file(run);
  say(run.out, "\nmy checksum:0x%x\n", image.checksum);
  run.link.refused_write_status = earlier_refusal_status;
}
