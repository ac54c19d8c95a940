// The platform objects over the simulated handheld, each a table of the
// members the conduit calls by name: results come back as the call's result
// or through by-reference arguments, texts in the ANSI code page, record
// identifiers as VT_I4, record bytes and preference data as VT_ARRAY|VT_UI1.
#include <memory>
#include <string>

#include "base/error.h"
#include "windows/com/com_glue.h"
#include "windows/standin/session.h"
#include "windows/standin/standin_objects.h"
#include "windows/standin/table_dispatch.h"

namespace bolvarin::standin {

namespace {

using C = const DispCall&;

class ContextObject : public TableDispatch<ContextObject> {
 public:
  explicit ContextObject(std::shared_ptr<SyncContext> c) : c_(std::move(c)) {}

  void SyncTypeCode(C call) { call.Return(TaggedValue::Int32(c_->SyncTypeCode())); }
  void DesktopPath(C call) { call.Return(TaggedValue::Text(c_->DesktopPath())); }
  void DesktopFileName(C call) { call.Return(TaggedValue::Text(c_->DesktopFileName())); }
  void DatabaseCount(C call) {
    com::Variant count;
    V_VT(count.get()) = VT_I2;
    V_I2(count.get()) = c_->DatabaseCount();
    call.Return(std::move(count));
  }
  void DatabaseNames(C call) { call.Return(com::ToTextArray(c_->DatabaseNames())); }
  void CreatorCode(C call) { call.Return(TaggedValue::Int32(c_->CreatorCode())); }
  void TypeCode(C call) { call.Return(TaggedValue::Int32(c_->TypeCode())); }

  static constexpr char kSource[] = "SyncContext";
  static constexpr Member<ContextObject> kMembers[] = {
      {"SyncTypeCode", 0, &ContextObject::SyncTypeCode, nullptr},
      {"DesktopPath", 0, &ContextObject::DesktopPath, nullptr},
      {"DesktopFileName", 0, &ContextObject::DesktopFileName, nullptr},
      {"DatabaseCount", 0, &ContextObject::DatabaseCount, nullptr},
      {"DatabaseNames", 0, &ContextObject::DatabaseNames, nullptr},
      {"CreatorCode", 0, &ContextObject::CreatorCode, nullptr},
      {"TypeCode", 0, &ContextObject::TypeCode, nullptr},
  };

 private:
  std::shared_ptr<SyncContext> c_;
};

class CategoriesObject : public TableDispatch<CategoriesObject> {
 public:
  explicit CategoriesObject(std::shared_ptr<HandheldCategories> c) : c_(std::move(c)) {}

  void Commit(C) { c_->Commit(); }
  void ResetDirtyFlags(C) { c_->ResetDirtyFlags(); }
  void Name(C call) { call.Return(TaggedValue::Text(c_->Name(call.Int(0)))); }
  void SetName(C call) { c_->SetName(call.Int(0), call.Text(1)); }
  void ID(C call) { call.Return(TaggedValue::Int32(c_->ID(call.Int(0)))); }
  void SetID(C call) {
    const int32_t id = call.Int(1);
    if (id < 0 || id > 255) {
      Raise(err::kOverflow, "ID: the category identifier " + std::to_string(id) + " of slot " +
                                std::to_string(call.Int(0)) + " is outside 0..255");
    }
    c_->SetID(call.Int(0), static_cast<uint8_t>(id));
  }
  void Dirty(C call) { call.Return(TaggedValue::Bool(c_->Dirty(call.Int(0)))); }
  void SetDirty(C call) { c_->SetDirty(call.Int(0), call.Bool(1)); }
  void SetLastIndex(C call) { c_->SetLastIndex(call.Int(0)); }

  static constexpr char kSource[] = "HandheldCategories";
  static constexpr Member<CategoriesObject> kMembers[] = {
      {"Commit", 0, &CategoriesObject::Commit, nullptr},
      {"ResetDirtyFlags", 0, &CategoriesObject::ResetDirtyFlags, nullptr},
      {"Name", 1, &CategoriesObject::Name, &CategoriesObject::SetName},
      {"ID", 1, &CategoriesObject::ID, &CategoriesObject::SetID},
      {"Dirty", 1, &CategoriesObject::Dirty, &CategoriesObject::SetDirty},
      {"LastIndex", 0, nullptr, &CategoriesObject::SetLastIndex},
  };

 private:
  std::shared_ptr<HandheldCategories> c_;
};

class AdapterObject : public TableDispatch<AdapterObject> {
 public:
  explicit AdapterObject(std::shared_ptr<HXRecordAdapter> a) : a_(std::move(a)) {}

  void SetReadPosition(C call) { Adapter().SetReadPosition(call.Int(0)); }
  void ReadNext(C call) {
    TaggedValue id;
    int32_t category = 0, attributes = 0;
    Bytes data = Adapter().ReadNext(call.Int(0), id, category, attributes);
    call.SetOut(1, id);
    call.SetOut(2, TaggedValue::Int32(category));
    call.SetOut(3, TaggedValue::Int32(attributes));
    call.Return(TaggedValue::FromBytes(std::move(data)));
  }
  void AtEnd(C call) { call.Return(TaggedValue::Bool(Adapter().AtEnd())); }
  void WriteRecord(C call) {
    TaggedValue id = call.Value(0);
    Adapter().WriteRecord(id, call.Int(1), call.Int(2), call.ByteArray(3));
    call.SetOut(0, id);
  }
  void RemoveRecord(C call) { Adapter().RemoveRecord(call.Value(0)); }
  void RemoveSet(C call) { Adapter().RemoveSet(call.Int(0), call.Int(1)); }
  void Categories(C call) {
    call.ReturnObject(com::MakeObject<CategoriesObject>(Adapter().Categories()));
  }

  static constexpr char kSource[] = "HXRecordAdapter";
  static constexpr Member<AdapterObject> kMembers[] = {
      {"ReadPosition", 0, nullptr, &AdapterObject::SetReadPosition},
      {"ReadNext", 4, &AdapterObject::ReadNext, nullptr},
      {"AtEnd", 0, &AdapterObject::AtEnd, nullptr},
      {"WriteRecord", 4, &AdapterObject::WriteRecord, nullptr},
      {"RemoveRecord", 1, &AdapterObject::RemoveRecord, nullptr},
      {"RemoveSet", 2, &AdapterObject::RemoveSet, nullptr},
      {"Categories", 0, &AdapterObject::Categories, nullptr},
  };

 private:
  HXRecordAdapter& Adapter() {
    if (!a_) {
      Raise(err::kObjectRequired,
            "This record adapter has no database: open one with ConduitServices.OpenDatabase or "
            "CreateDatabase");
    }
    return *a_;
  }

  std::shared_ptr<HXRecordAdapter> a_;
};

class ServicesObject : public TableDispatch<ServicesObject> {
 public:
  explicit ServicesObject(std::shared_ptr<ConduitServices> s) : s_(std::move(s)) {}

  void AddLogEntry(C call) { s_->AddLogEntry(call.Text(0), call.Int(1), call.Int(2), call.Int(3)); }
  void OpenDatabase(C call) {
    call.ReturnObject(
        com::MakeObject<AdapterObject>(s_->OpenDatabase(call.Text(0), call.Text(1), call.Int(2))));
  }
  void CreateDatabase(C call) {
    call.ReturnObject(com::MakeObject<AdapterObject>(
        s_->CreateDatabase(call.Text(0), call.Text(1), call.Value(2), call.Value(3), call.Int(4),
                           call.Int(5), call.Int(6), call.Int(7))));
  }

  static constexpr char kSource[] = "ConduitServices";
  static constexpr Member<ServicesObject> kMembers[] = {
      {"AddLogEntry", 4, &ServicesObject::AddLogEntry, nullptr},
      {"OpenDatabase", 3, &ServicesObject::OpenDatabase, nullptr},
      {"CreateDatabase", 8, &ServicesObject::CreateDatabase, nullptr},
  };

 private:
  std::shared_ptr<ConduitServices> s_;
};

class UtilityObject : public TableDispatch<UtilityObject> {
 public:
  explicit UtilityObject(std::shared_ptr<PlatformUtility> u) : u_(std::move(u)) {}

  void CodeToText(C call) {
    call.Return(TaggedValue::Text(u_->CodeToText(call.Int(0), call.Int(1))));
  }
  void RecordIdToText(C call) { call.Return(TaggedValue::Text(u_->RecordIdToText(call.Value(0)))); }
  void TextToRecordId(C call) { call.Return(u_->TextToRecordId(call.Text(0))); }

  static constexpr char kSource[] = "PlatformUtility";
  static constexpr Member<UtilityObject> kMembers[] = {
      {"CodeToText", 2, &UtilityObject::CodeToText, nullptr},
      {"RecordIdToText", 1, &UtilityObject::RecordIdToText, nullptr},
      {"TextToRecordId", 1, &UtilityObject::TextToRecordId, nullptr},
  };

 private:
  std::shared_ptr<PlatformUtility> u_;
};

class SystemObject : public TableDispatch<SystemObject> {
 public:
  explicit SystemObject(std::shared_ptr<PlatformSystem> p) : p_(std::move(p)) {}

  void GetSyncContext(C call) {
    if (!Session::Get().HasRun()) {
      Raise(err::kPlatform,
            "No run is set: call SetRun on the handheld stand-in before the conduit runs");
    }
    call.ReturnObject(com::MakeObject<ContextObject>(p_->GetSyncContext()));
  }
  void ReadPreference(C call) {
    int32_t version = 0;
    TaggedValue data;
    p_->ReadPreference(call.Value(0), call.Int(1), call.Bool(2), version, data);
    call.SetOut(3, TaggedValue::Int32(version));
    call.SetOut(4, data);
  }
  void WritePreference(C call) {
    p_->WritePreference(call.Value(0), call.Int(1), call.Bool(2), call.Int(3), call.Value(4));
  }

  static constexpr char kSource[] = "PlatformSystem";
  static constexpr Member<SystemObject> kMembers[] = {
      {"GetSyncContext", 0, &SystemObject::GetSyncContext, nullptr},
      {"ReadPreference", 5, &SystemObject::ReadPreference, nullptr},
      {"WritePreference", 5, &SystemObject::WritePreference, nullptr},
  };

 private:
  std::shared_ptr<PlatformSystem> p_;
};

// Makes an object of class T over what `make` gets from the session's
// platform; a failure is described through IErrorInfo.
template <class T, class Make>
HRESULT Create(REFIID iid, void** out, Make make) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    std::lock_guard lock(StandInLock());
    return com::HandOut(com::MakeObject<T>(make(Session::Get().platform())), iid, out);
  } catch (...) {
    return com::ReportCurrentException(iid);
  }
}

}  // namespace

HRESULT CreatePlatformSystem(REFIID iid, void** out) {
  return Create<SystemObject>(iid, out, [](Platform& p) { return p.NewPlatformSystem(); });
}

HRESULT CreateConduitServices(REFIID iid, void** out) {
  return Create<ServicesObject>(iid, out, [](Platform& p) { return p.NewConduitServices(); });
}

HRESULT CreatePlatformUtility(REFIID iid, void** out) {
  return Create<UtilityObject>(iid, out, [](Platform& p) { return p.NewPlatformUtility(); });
}

HRESULT CreateRecordAdapter(REFIID iid, void** out) {
  return Create<AdapterObject>(iid, out,
                               [](Platform&) { return std::shared_ptr<HXRecordAdapter>(); });
}

}  // namespace bolvarin::standin
