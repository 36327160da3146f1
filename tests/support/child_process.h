// Running one test of the current test program again in a child process set up differently,
// for cases that need a fresh process the parent cannot turn into: a process in which Wine
// refuses to load a given DLL.
//
// Wine takes its DLL overrides from the Unix environment it was started with; WINEDLLOVERRIDES
// in a CreateProcess environment block does not reach the child. A per-program override does:
// HKCU\Software\Wine\AppDefaults\<program>.exe\DllOverrides with the DLL's name and an empty
// value disables that DLL for programs of that file name. So the child is a copy of the test
// program under a name of its own, and the override is removed again afterwards.
#pragma once

// In the child, true, and records for the parent that the child test really ran. In any other
// process false. The test body does its checks only when this is true:
//
//     if (EnterChildTest()) { EXPECT_EQ(BindDriverApi(), NvLibraryNotFound); return; }
//     EXPECT_EQ(RunTestWithoutDll("Suite.Name", "nvapi64"), 0);
bool EnterChildTest();

// Runs the test "Suite.Name" of this program in a child process for which Wine does not load
// dllBaseName (without ".dll"). Returns the child's exit code, 0 when the test passed, or -1
// when the child could not be started, did not end within a minute or never entered the test.
int RunTestWithoutDll(const char* testName, const char* dllBaseName);
