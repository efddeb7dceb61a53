#pragma once
// Identifiers of the converter's dialog, its controls and its icon.

constexpr unsigned IDR_MAINFRAME = 128;
constexpr unsigned IDD_CONVERTER_DIALOG = 132;

constexpr int IDC_STATUS = 1000;
constexpr int IDC_AVI_FILE = 1009;
constexpr int IDC_LAST_FILE = 1020;
constexpr int IDC_CONVERT = 1039;
constexpr int IDC_BROWSE_FIRST = 1040;
constexpr int IDC_BROWSE_AVI = 1041;
constexpr int IDC_BROWSE_LAST = 1042;
constexpr int IDC_FIRST_FILE = 1119;
/// The sequence line under the AVI box: what Convert would do with the run, then what the
/// check of the written files found.
constexpr int IDC_SEQUENCE = 1043;
/// The rate and fill settings under the AVI box.
constexpr int IDC_RATE = 1044;
constexpr int IDC_FILL = 1045;
/// The picture of the frames under the sequence line: the first frame over a checkerboard and
/// its matte.
constexpr int IDC_PREVIEW = 1080;
/// The Open Folder button under Convert, shown once a job has written a file.
constexpr int IDC_OPEN_FOLDER = 1070;
/// The progress under Convert: a bar over both passes, and a line that says where the run is
/// ("Colour 101 of 600 · 28 fps · 0:20 left") and, after it, how it ended.
constexpr int IDC_PROGRESS = 1060;
constexpr int IDC_PROGRESS_TEXT = 1061;
