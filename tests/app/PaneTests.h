// The Qt Test classes of the two panes, run one after the other by PanesTestMain.cpp.
#pragma once

int RunSequenceBarTests(int argc, char** argv);
int RunCamCntrlBarTests(int argc, char** argv);
