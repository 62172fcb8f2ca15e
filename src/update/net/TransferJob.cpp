#include "update/net/TransferJob.h"

namespace zorvast::update::transfer {

bool Slot::stopping() {
    const std::lock_guard<std::mutex> lock(wakeLock);
    return stopRequested;
}

void Slot::requestStop() {
    const std::lock_guard<std::mutex> lock(wakeLock);
    stopRequested = true;
    if (activeMulti) {
        curl_multi_wakeup(activeMulti);
    }
    wake.notify_all();
}

void Slot::clearStop() {
    const std::lock_guard<std::mutex> lock(wakeLock);
    stopRequested = false;
}

void Slot::setActiveMulti(CURLM* multi) {
    const std::lock_guard<std::mutex> lock(wakeLock);
    activeMulti = multi;
}

bool Slot::pause(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(wakeLock);
    return !wake.wait_for(lock, duration, [this] { return stopRequested; });
}

void Job::notify(TransferEvent event, double value) const {
    if (!task->onEvent) {
        return;
    }
    // Called from inside libcurl's callbacks too: nothing may unwind through C frames.
    try {
        task->onEvent(event, value);
    } catch (...) {
    }
}

void Job::publishProgress() const {
    service->bytesInFile.store(fileBytes);
    service->totalBytes.store(wholeSize);
}

void Job::saveRecord() {
    if (!record) {
        return;
    }
    record->bytesInFile = fileBytes;
    writeRecordIn(spot, *record);
}

void Job::dropRecord() {
    record.reset();
    removeRecordIn(spot);
}

void Job::takeRecord(PartialDownload fresh) {
    if (fresh.totalBytes > 0 && hasValidator(fresh)) {
        record = std::move(fresh);
        saveRecord();
    } else {
        dropRecord();
    }
}

bool Job::startOver() {
    if (fileBytes > 0 || file.size().value_or(1) > 0) {
        if (!file.truncate()) {
            return false;
        }
        sizeSentForFile = false;
    }
    fileBytes = 0;
    publishProgress();
    return true;
}

void Job::sendSize() {
    if (sizeSentForFile) {
        return;
    }
    sizeSentForFile = true;
    const double value = static_cast<double>(wholeSize > 0 ? wholeSize : fileBytes);
    if (sizeSent && value == lastSize) {
        return;
    }
    sizeSent = true;
    lastSize = value;
    notify(TransferEvent::SizeKnown, value);
}

} // namespace zorvast::update::transfer
