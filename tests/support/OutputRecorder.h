// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Records what the process writes to stderr and every Qt message while it lives, so that
// a test can prove an operation stayed silent. One at a time.
class OutputRecorder {
public:
    OutputRecorder();
    ~OutputRecorder();
    // False when stderr could not be redirected: then nothing can be proven silent.
    bool isRecording() const { return m_savedStderr >= 0; }
    // Everything seen so far; empty when all was quiet.
    QString recorded() const;

private:
    int m_savedStderr = -1;
    int m_file = -1;
};
