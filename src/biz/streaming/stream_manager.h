// The service-id registry of the streaming sessions.
#pragma once

#include <memory>

#include "biz/streaming/stream_manager_delegate.h"
#include "biz/streaming/stream_manager_property.h"
#include "common/dispatch_template.h"

// The delegate must outlive the manager and every record obtained from Pop: a record's relay service is
// destroyed when the last holder lets the record go, which may be after an Unbind or Clear returned.
class StreamManager : public DispatchTemplateProcess<StreamManagerProperty> {
public:
    using Registry = DispatchTemplate<StreamManagerProperty>;

    explicit StreamManager(StreamManagerDelegate& delegate, Registry::Delay delay = Registry::DefaultDelay);
    ~StreamManager() override;
    StreamManager(const StreamManager&) = delete;
    StreamManager& operator=(const StreamManager&) = delete;

    // 0, or -1 after "Bind new service failed". A new id is announced to the delegate.
    int Bind(const StreamManagerProperty& property, int& id);
    // 0, or -1 after "Unbind failed, id = %d". Returns after the release delay; the id's end is announced.
    int Unbind(int id);
    // 0, or -1 after "Update failed, id = %d".
    int Update(const StreamManagerProperty& property, int condition, int id);
    std::shared_ptr<StreamManagerProperty> Pop(int id) const;
    void Clear();
    int Query(const StreamManagerProperty& property, int condition, int& id) const;
    void QueryNum(const StreamManagerProperty& property, int condition, unsigned int& num) const;
    void Traverse() const;

    int equal(const StreamManagerProperty& target, const StreamManagerProperty& query, int condition) override;
    void assign(StreamManagerProperty& target, const StreamManagerProperty& source, int condition) override;
    void release(const StreamManagerProperty& property) override;
    void traverse(int id, const StreamManagerProperty& property) override;

private:
    StreamManagerDelegate& delegate_;
    Registry dispatch_;
};
