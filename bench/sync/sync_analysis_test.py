#!/usr/bin/env python3
"""The readings the synchronisation figures rest on: sound onsets, white pictures, loopback clock."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sync_analysis as analysis  # noqa: E402

RATE = 100  # samples per second, so that indices read as hundredths


def sound(*loud_at, length=500, value=9000):
    samples = [0] * length
    for index in loud_at:
        samples[index] = value
    return samples


class SoundOnsets(unittest.TestCase):
    def test_a_sound_starts_only_after_a_second_of_quiet(self):
        cases = [
            ("at the very start", sound(0, 1, 2), [0.0]),
            ("two bursts far apart", sound(10, 11, 250), [0.1, 2.5]),
            ("a second burst too close", sound(10, 90), [0.1]),
            ("quiet measured from the burst's end", sound(10, 60, 150, 170), [0.1]),
            ("negative samples are loud too", sound(300, value=-9000), [3.0]),
            ("at the threshold is quiet", sound(300, value=8000), []),
        ]
        for name, samples, expected in cases:
            with self.subTest(name):
                self.assertEqual(analysis.sound_onsets(samples, RATE, 8000), expected)


class WhitePictures(unittest.TestCase):
    def test_frame_levels_pair_each_time_with_its_luma(self):
        text = ("frame:0    pts:0       pts_time:0\nlavfi.signalstats.YMIN=16\nlavfi.signalstats.YAVG=16.2\n"
                "frame:1    pts:7       pts_time:0.035\nlavfi.signalstats.YAVG=235\n")
        self.assertEqual(analysis.frame_levels(text), [(0.0, 16.2), (0.035, 235.0)])

    def test_only_dark_to_bright_changes_count(self):
        cases = [
            ("bright from the start", [(0, 200), (1, 20), (2, 200)], [2]),
            ("stays bright", [(0, 20), (1, 200), (2, 210), (3, 20), (4, 200)], [1, 4]),
            ("out of order", [(2, 200), (0, 20), (1, 20)], [2]),
            ("never bright", [(0, 20), (1, 128)], []),
        ]
        for name, levels, expected in cases:
            with self.subTest(name):
                self.assertEqual(analysis.turns_white(levels), expected)


class MovieClock(unittest.TestCase):
    def test_the_offset_most_events_agree_on_wins(self):
        shown = [100.0, 110.0, 120.0, 130.0]
        cases = [
            ("every event seen", [1.02, 11.0, 21.03, 31.01], 1.015),
            ("the first event missed", [11.0, 21.02, 31.01], 1.01),
            ("a stray white picture", [1.0, 5.0, 11.02, 21.0, 31.0], 1.0),
        ]
        for name, seen, expected in cases:
            with self.subTest(name):
                self.assertAlmostEqual(analysis.clock_offset(seen, shown, -99.5) + 100.0, expected)


    def test_each_burst_is_the_nearest_one_within_reach(self):
        cases = [
            ("early and late alike", [9.7, 10.2], [10.0], [10.2]),
            ("out of reach", [9.4, 10.6], [10.0], [None]),
            ("one burst may serve two targets", [10.0], [9.8, 10.3], [10.0, 10.0]),
        ]
        for name, times, targets, expected in cases:
            with self.subTest(name):
                self.assertEqual(analysis.nearest(targets, times, 0.5), expected)


    def test_bursts_are_paired_across_a_step_in_the_stream(self):
        due = [0.0, 20.0, 40.0, 60.0, 80.0]
        cases = [
            ("steady", [1.5, 21.5, 41.5, 61.5, 81.5], [1.5, 21.5, 41.5, 61.5, 81.5]),
            ("0.7 s later for good after the second", [1.5, 21.5, 42.2, 62.2, 82.2], [1.5, 21.5, 42.2, 62.2, 82.2]),
            ("falling further behind", [1.5, 23.0, 45.1, 71.5, 91.0], [1.5, 23.0, 45.1, 71.5, 91.0]),
            ("one burst lost", [1.5, 41.5, 61.5, 81.5], [1.5, None, 41.5, 61.5, 81.5]),
            ("a stray burst far off is no event's", [1.5, 21.5, 41.5, 61.5, 81.5, 115.0], [1.5, 21.5, 41.5, 61.5, 81.5]),
        ]
        for name, bursts, expected in cases:
            with self.subTest(name):
                self.assertEqual(analysis.through_the_sink(due, bursts, 0.5, 18.0), expected)


class Loopback(unittest.TestCase):
    def test_the_earliest_nearby_buffer_tells_the_arrival(self):
        # 100 frames a second, buffers of 10 frames; the third held back 0.5 s; from the fifth on
        # 2 s of sound were dropped, so the stream runs 2 s ahead of the clock.
        buffers = [(10.1, 10), (10.2, 20), (10.8, 30), (10.4, 40), (12.5, 50), (12.6, 60), (12.7, 70)]
        cases = [("before the held buffer", 15, 10.15), ("in the held buffer", 25, 10.25),
                 ("after the drop", 65, 12.65)]
        for name, frame, expected in cases:
            with self.subTest(name):
                self.assertAlmostEqual(analysis.arrival_time(buffers, RATE, frame, 0.15), expected)

    def test_the_recorder_log_is_read_with_windows_line_ends(self):
        text = "clock frequency=10000000 now=50000000\r\nbuffer 50100000 441\r\nbuffer 50200000 882\r\n"
        self.assertEqual(analysis.read_recorder_log(text), (10_000_000, 50_000_000, [(5.01, 441), (5.02, 882)]))

    def test_each_event_takes_the_first_sound_in_its_window(self):
        cases = [
            ("just before", [9.8], [10.0], [9.8]),
            ("too early", [9.7], [10.0], [None]),
            ("late but inside", [11.0], [10.0], [11.0]),
            ("the first of two", [10.2, 10.4], [10.0], [10.2]),
            ("one sound for each", [1.1, 5.1], [1.0, 5.0], [1.1, 5.1]),
        ]
        for name, heard, seen, expected in cases:
            with self.subTest(name):
                self.assertEqual(analysis.pair(seen, heard, 1.0), expected)


if __name__ == "__main__":
    unittest.main()
