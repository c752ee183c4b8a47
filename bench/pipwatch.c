// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// Listens to a PulseAudio source (a null sink's monitor) and stamps the
// onset of each tone on CLOCK_MONOTONIC, one line per onset:
//
//   pipwatch <source>
//       Prints "ready <ns>" once it records, then "onset <ns> <ms>" for
//       each sound that follows at least 20 ms of silence: the instant
//       its first sample above a tenth of full scale reached the source,
//       and how long it lasted, ms, once it has ended. Runs until killed.
//
// A sample's instant is that of the read that brought it, less the
// recording's latency as the server reports it, less the samples read
// after it.

#define _POSIX_C_SOURCE 200809L

#include <pulse/error.h>
#include <pulse/simple.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#define RATE 48000
#define BLOCK 240
#define LOUD 3277  // a tenth of full scale
#define QUIET 300
#define SILENCE (RATE / 50)

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: pipwatch <source>\n");
        return 2;
    }
    const pa_sample_spec sampleFormat = {PA_SAMPLE_S16LE, RATE, 1};
    pa_buffer_attr attr = {(uint32_t)-1, (uint32_t)-1, (uint32_t)-1, (uint32_t)-1,
                           BLOCK * 2};
    int error = 0;
    pa_simple *stream = pa_simple_new(NULL, "pipwatch", PA_STREAM_RECORD, argv[1], "pips",
                                      &sampleFormat, NULL, &attr, &error);
    if (!stream) {
        fprintf(stderr, "pipwatch: %s\n", pa_strerror(error));
        return 1;
    }
    printf("ready %lld\n", now_ns());
    fflush(stdout);
    short samples[BLOCK];
    // Samples since the last loud one, and since the last that was not
    // silent.
    long since_loud = SILENCE;
    long since_sound = 0;
    long long onset = -1;
    for (;;) {
        if (pa_simple_read(stream, samples, sizeof samples, &error) < 0) {
            fprintf(stderr, "pipwatch: %s\n", pa_strerror(error));
            break;
        }
        const long long read_at = now_ns();
        const pa_usec_t latency = pa_simple_get_latency(stream, &error);
        // The instant of the sample after this block.
        const long long next = read_at - (long long)latency * 1000;
        for (int i = 0; i < BLOCK; ++i) {
            const int value = abs(samples[i]);
            const long long at = next - (long long)(BLOCK - i) * 1000000000LL / RATE;
            if (value > LOUD) {
                if (since_loud >= SILENCE && onset < 0)
                    onset = at;
                since_loud = 0;
            } else {
                ++since_loud;
            }
            if (value > QUIET) {
                since_sound = 0;
            } else if (++since_sound == RATE / 200 && onset >= 0) {
                // 5 ms of silence: the tone is over.
                printf("onset %lld %.1f\n", onset, (at - onset) / 1e6 - 5.0);
                fflush(stdout);
                onset = -1;
            }
        }
    }
    pa_simple_free(stream);
    return 0;
}
