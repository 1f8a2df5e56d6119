#include "device/win_handles.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    // The reader runs MSXML 6 through COM, as KvReport.exe does.
    kv::ComInit com(COINIT_APARTMENTTHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
