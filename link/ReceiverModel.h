#pragma once

#include <string>

// The display frame receiver's rules written out a second time, as plainly as they are stated,
// so that FrameSync and the window can be held to them byte for byte: the fuzz targets do, and
// the noise test draws its damaged frames with it. Unbounded text, no shortcuts: slow and
// obvious on purpose. The programs do not use it; it stands here, beside FrameSync, because
// both the tests and the fuzz targets need it and neither may include the other.
struct ReceiverModel {
    enum class Verdict { Incomplete, Good, Bad };

    std::string recvText = "*ppp000000000";
    int recvCount = 0;
    int prevChar = 0;
    // A frame start happened since the last check: the text then begins "*" and header A.
    bool started = false;

    static int upperHex(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    static bool checkPasses(const std::string &t)
    {
        if (t.size() < 13)
            return false;
        unsigned x = 0;
        for (int i = 0; i <= 10; ++i)
            x ^= static_cast<unsigned char>(t[std::size_t(i)]);
        const int hi = upperHex(t[11]);
        const int lo = upperHex(t[12]);
        return hi >= 0 && lo >= 0 && unsigned(hi * 16 + lo) == x;
    }

    Verdict push(int b)
    {
        if ((prevChar & 0xFF) == '*' && (b & 0xF8) == 0x70) {
            recvCount = 1;
            recvText.assign(1, '*'); // not = "*": GCC 12 warns falsely (restrict) there
            started = true;
        }
        prevChar = b;
        recvText += char(b & 0xFF);
        recvCount += 1;
        if (recvCount <= 12)
            return Verdict::Incomplete;
        recvCount = 0;
        const bool good = checkPasses(recvText);
        if (good)
            lastFrame = recvText.substr(0, 13);
        lastStarted = started;
        started = false;
        recvText.clear();
        return good ? Verdict::Good : Verdict::Bad;
    }

    void connect()
    {
        recvCount = 0;
        prevChar = ' ';
    }

    std::string lastFrame;    // the 13 characters of the last good frame
    bool lastStarted = false; // whether the last checked text began at a frame start
};
