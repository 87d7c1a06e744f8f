#include "tests/e2e/StagedPelko.h"

#include "tests/support/FileTree.h"

#include <windows.h>

StagedPelko::StagedPelko(const std::wstring& program) {
    ::CopyFileW((driver::BinFolder() + L"\\" + program).c_str(), (stage_ / L"pelko.exe").c_str(),
                FALSE);
    ::CopyFileW(testsupport::DeviceSim::InsthelpDll().c_str(), (stage_ / L"insthelp.dll").c_str(),
                FALSE);
}

void StagedPelko::AddUpdateFile(const std::wstring& relativePath, const std::string& bytes) {
    testsupport::WriteFileBytes(UpdateFiles() + L"\\" + relativePath, bytes);
}

uint64_t StagedPelko::HelperSize() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(testsupport::DeviceSim::InsthelpDll().c_str(),
                                GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

driver::Process StagedPelko::Start() {
    return driver::Process::Start(stage_ / L"pelko.exe", stage_.Path());
}

bool WaitForFinalBox(const driver::Process& process, FinalBox& result, DWORD timeoutMs) {
    result.progressWindow = driver::WaitForProgressWindow(process.id(), timeoutMs);
    if (!result.progressWindow)
        return false;
    auto box = driver::WaitForMessageBox(process.id(), timeoutMs);
    if (!box)
        return false;
    result.box = *box;
    result.statusText = driver::StatusText(result.progressWindow);
    result.barPosition = driver::BarPosition(result.progressWindow);
    return true;
}
