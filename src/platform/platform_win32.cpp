// Windows platform: the communications API for the port, Sleep for pauses,
// the console key read, and console text in code page 437.
#include <windows.h>
#include <conio.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/cp437.h"
#include "platform/platform.h"

namespace {

// The one write request of the port, with what the link asked to be called
// back.  The OVERLAPPED comes first so that the native completion routine,
// which gets only its address, finds the rest.
struct WriteRequest {
  OVERLAPPED overlapped;
  WriteCompletion done;
  void* context;
};

VOID CALLBACK write_completed(DWORD error_code, DWORD bytes_transferred,
                              LPOVERLAPPED overlapped) {
  WriteRequest* request = reinterpret_cast<WriteRequest*>(overlapped);
  request->done(request->context, error_code, bytes_transferred);
}

class Win32SerialPort : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE handle) : handle_(handle) {
    memset(&comm_, 0, sizeof comm_);
  }

  void read_config(LineConfig* config) override {
    GetCommConfig(handle_, &comm_, &comm_size_);
    const DCB& dcb = comm_.dcb;
    config->baud_rate = dcb.BaudRate;
    config->byte_size = dcb.ByteSize;
    config->parity = dcb.Parity;
    config->stop_bits = dcb.StopBits;
    config->cts_flow = dcb.fOutxCtsFlow != 0;
    config->dtr = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    config->rts = dcb.fRtsControl == RTS_CONTROL_ENABLE;
  }

  // Every other field of the record keeps what the last read reported.
  int write_config(const LineConfig& config) override {
    DCB& dcb = comm_.dcb;
    dcb.BaudRate = config.baud_rate;
    dcb.ByteSize = config.byte_size;
    dcb.Parity = config.parity;
    dcb.StopBits = config.stop_bits;
    dcb.fOutxCtsFlow = config.cts_flow;
    dcb.fDtrControl = config.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = config.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return SetCommConfig(handle_, &comm_, comm_size_);
  }

  bool start_write(const uint8_t* bytes, uint32_t count, WriteCompletion done,
                   void* context) override {
    memset(&request_, 0, sizeof request_);
    request_.done = done;
    request_.context = context;
    if (WriteFileEx(handle_, bytes, count, &request_.overlapped,
                    write_completed))
      return true;
    error_ = GetLastError();
    return false;
  }

  void wait_alertable() override { SleepEx(INFINITE, TRUE); }

  long last_error() override { return error_; }

  void clear_errors() override {
    DWORD errors;
    ClearCommError(handle_, &errors, nullptr);
  }

 private:
  HANDLE handle_;
  COMMCONFIG comm_;
  DWORD comm_size_ = 52;  // the size of COMMCONFIG; GetCommConfig may update it
  WriteRequest request_;
  long error_ = 0;
};

static_assert(sizeof(COMMCONFIG) == 52, "the configuration size passed is 52");

// Whether there is a console to read a key from: without one, _getch
// returns at once, again and again.
bool stdin_is_console() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

class Win32Platform : public Platform {
 public:
  void device_name(const char*, int port_number, char* name,
                   size_t name_size) override {
    snprintf(name, name_size, "COM%d", port_number);
  }

  SerialPort* open_serial(const char* name, OpenFailure* failure) override {
    // Windows finds COM10 and above only under the device namespace.
    char path[320];
    bool high_port = strncmp(name, "COM", 3) == 0 && atoi(name + 3) > 9;
    snprintf(path, sizeof path, "%s%s", high_port ? "\\\\.\\" : "", name);
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      failure->code = static_cast<long>(GetLastError());
      if (failure->code == ERROR_ACCESS_DENIED)
        snprintf(failure->explanation, sizeof failure->explanation,
                 "(der Port wird schon von einem anderen Programm benutzt)");
      return nullptr;
    }
    return new Win32SerialPort(handle);  // lives until the process ends
  }

  void sleep_ms(uint32_t milliseconds) override { Sleep(milliseconds); }

  void wait_for_key() override {
    if (!stdin_is_console()) return;
    int key = _getch();
    putchar(key);
    fflush(stdout);
  }

  bool env_present(const char* name) override {
    size_t length = strlen(name);
    for (char** entry = _environ; *entry; ++entry)
      if (_strnicmp(*entry, name, length) == 0 && (*entry)[length] == '=')
        return true;
    return false;
  }

  bool file_length(FILE* file, uint64_t* length) override {
    __int64 bytes = _filelengthi64(_fileno(file));
    if (bytes < 0) return false;
    *length = static_cast<uint64_t>(bytes);
    return true;
  }

  int remove_file(const char* path) override { return remove(path); }

  FILE* open_sound_file(const char* path) override { return fopen(path, "rb"); }
};

}  // namespace

Platform* system_platform() {
  static Win32Platform platform;
  return &platform;
}

const char* console_format(const char* format, char* buffer, size_t size) {
  return utf8_to_cp437(format, buffer, size);
}
