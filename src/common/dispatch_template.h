// A registry of records under integer ids, from 1 upwards and never reused. It knows nothing of what the
// records mean: matching, field updates, clean-up and printing are the hook object's.
//
// Records are shared: Pop hands out shared ownership, so a record that is unbound or cleared while another
// thread still uses it stays alive, and is released (the hook's release) only when its last user lets go.
#pragma once

#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

template <typename T>
class DispatchTemplateProcess {
public:
    virtual ~DispatchTemplateProcess() = default;
    // 0 when the stored target matches the query under condition, -1 otherwise.
    virtual int equal(const T& target, const T& query, int condition) {
        (void)target;
        (void)query;
        (void)condition;
        return -1;
    }
    // Copies the one field named by condition.
    virtual void assign(T& target, const T& source, int condition) {
        (void)target;
        (void)source;
        (void)condition;
    }
    // Frees what the record owns; runs once per bound record, when its last user lets it go.
    virtual void release(const T& property) { (void)property; }
    virtual void traverse(int id, const T& property) {
        (void)id;
        (void)property;
    }
};

template <typename T>
class DispatchTemplate {
public:
    using Delay = std::function<void(std::chrono::milliseconds)>;
    // Unbinding waits this long before letting the record go, so that a frame thread that took the record
    // just before the removal finishes with it first.
    static constexpr std::chrono::milliseconds kReleaseDelay{50};

    // process is not owned and must outlive the registry and every record handed out by Pop. delay replaces
    // the sleep before a release (tests).
    static void DefaultDelay(std::chrono::milliseconds delay) { std::this_thread::sleep_for(delay); }

    explicit DispatchTemplate(DispatchTemplateProcess<T>* process, Delay delay = DefaultDelay)
        : process_(process), delay_(std::move(delay)) {}
    ~DispatchTemplate() { Clear(); }
    DispatchTemplate(const DispatchTemplate&) = delete;
    DispatchTemplate& operator=(const DispatchTemplate&) = delete;

    // Stores a copy of property under a new id. 0, or -1 once the ids are exhausted (they never wrap).
    int Bind(const T& property, int& id) {
        std::lock_guard<std::mutex> lock(mutex_);
        // Checked before the record exists: a refused record must not be released, its owner keeps it.
        if (service_id_ == INT_MAX) return -1;
        std::shared_ptr<T> record(new T(property), Releaser{process_});
        id = ++service_id_;
        dispatch_map_.emplace(id, std::move(record));
        return 0;
    }

    // Removes the record at once, so no later Pop finds it, and lets it go after the release delay.
    // 0, or -1 for an unknown id.
    int Unbind(int id) {
        std::shared_ptr<T> record;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto found = dispatch_map_.find(id);
            if (found == dispatch_map_.end()) return -1;
            record = std::move(found->second);
            dispatch_map_.erase(found);
        }
        delay_(kReleaseDelay);
        return 0;
    }

    // The stored record itself (not a copy), or null for an unknown id.
    std::shared_ptr<T> Pop(int id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = dispatch_map_.find(id);
        return found == dispatch_map_.end() ? nullptr : found->second;
    }

    // Copies the field named by condition from property into the stored record. 0, or -1 for an unknown id.
    int Update(const T& property, int condition, int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = dispatch_map_.find(id);
        if (found == dispatch_map_.end()) return -1;
        if (process_ != nullptr) process_->assign(*found->second, property, condition);
        return 0;
    }

    // The lowest id whose record matches. 0, or -1 when none does.
    int Query(const T& property, int condition, int& id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : dispatch_map_) {
            if (matches(*entry.second, property, condition)) {
                id = entry.first;
                return 0;
            }
        }
        return -1;
    }

    // Counts the matching records; num is left as it is when the registry is empty.
    void QueryNum(const T& property, int condition, unsigned int& num) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (dispatch_map_.empty()) return;
        unsigned int count = 0;
        for (const auto& entry : dispatch_map_) count += matches(*entry.second, property, condition) ? 1 : 0;
        num = count;
    }

    // Removes every record, in ascending id order, letting each go after the release delay. The records are
    // detached under the lock and let go outside it, since releasing one may stop threads that still call
    // into this registry.
    void Clear() {
        std::map<int, std::shared_ptr<T>> removed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            removed.swap(dispatch_map_);
        }
        for (auto& entry : removed) {
            delay_(kReleaseDelay);
            entry.second.reset();
        }
    }

    void Traverse() const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (process_ == nullptr) return;
        for (const auto& entry : dispatch_map_) process_->traverse(entry.first, *entry.second);
    }

private:
    struct Releaser {
        DispatchTemplateProcess<T>* process;
        void operator()(T* record) const {
            if (process != nullptr) process->release(*record);
            delete record;
        }
    };

    bool matches(const T& stored, const T& query, int condition) const {
        return process_ != nullptr && process_->equal(stored, query, condition) == 0;
    }

    int service_id_ = 0;  // the last id handed out
    std::map<int, std::shared_ptr<T>> dispatch_map_;
    DispatchTemplateProcess<T>* process_;
    Delay delay_;
    mutable std::mutex mutex_;
};
