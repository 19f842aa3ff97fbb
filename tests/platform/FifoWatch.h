// A FIFO in place of a file, for tests that a reader never waits on one. Should the code under
// test block on it (in open, waiting for a writer, or in read, waiting for data), the watch feeds
// the FIFO a little and closes it after a second, again and again, so that the test goes on and
// fails by the time it took rather than hanging.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

class TFifoWatch {
public:
    explicit TFifoWatch(const std::string& path) : Path(path), Start(std::chrono::steady_clock::now())
    {
        if (mkfifo(path.c_str(), 0644) != 0)
            throw std::runtime_error("cannot make a FIFO at " + path);
        Feeder = std::thread([this] { Feed(); });
    }
    ~TFifoWatch()
    {
        Done = true;
        Feeder.join();
    }
    TFifoWatch(const TFifoWatch&) = delete;
    TFifoWatch& operator=(const TFifoWatch&) = delete;

    // Whether the caller was held up: a reader that refuses the FIFO returns at once.
    bool Waited() const { return std::chrono::steady_clock::now() - Start >= Patience; }

private:
    static constexpr std::chrono::milliseconds Patience{1000};

    void Feed()
    {
        while (!Done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::chrono::steady_clock::now() - Start < Patience)
                continue;
            // Opening the writer's end without waiting succeeds only while a reader holds the FIFO.
            const int fd = open(Path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                continue;
            static const char Bytes[4096] = {};
            [[maybe_unused]] const ssize_t written = write(fd, Bytes, sizeof Bytes);
            close(fd);
        }
    }

    std::string Path;
    std::chrono::steady_clock::time_point Start;
    std::atomic<bool> Done = false;
    std::thread Feeder;
};
