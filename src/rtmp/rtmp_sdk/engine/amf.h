// AMF0 values and their codec (Adobe AMF 0 specification). Pure functions over caller buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

enum AMFDataType {
    AMF_NUMBER = 0,
    AMF_BOOLEAN,
    AMF_STRING,
    AMF_OBJECT,
    AMF_MOVIECLIP,  // reserved
    AMF_NULL,
    AMF_UNDEFINED,
    AMF_REFERENCE,
    AMF_ECMA_ARRAY,
    AMF_OBJECT_END,
    AMF_STRICT_ARRAY,
    AMF_DATE,
    AMF_LONG_STRING,
    AMF_UNSUPPORTED,
    AMF_RECORDSET,  // reserved
    AMF_XML_DOC,
    AMF_TYPED_OBJECT,
    AMF_AVMPLUS,  // switch to AMF3
    AMF_INVALID = 0xff
};

// Counted string. Decoded values point into the buffer they were decoded from.
struct AVal {
    const char* av_val = nullptr;
    int av_len = 0;
};

#define AVC(str) AVal{str, static_cast<int>(sizeof(str) - 1)}
#define AVMATCH(a1, a2) ((a1)->av_len == (a2)->av_len && !memcmp((a1)->av_val, (a2)->av_val, (a1)->av_len))

struct AMFObjectProperty;

struct AMFObject {
    std::vector<AMFObjectProperty> o_props;
};

struct AMFObjectProperty {
    AVal p_name;
    AMFDataType p_type = AMF_INVALID;
    double p_number = 0;  // numbers, booleans (0/1) and dates
    AVal p_aval;          // strings, long strings, XML documents
    AMFObject p_object;   // objects, ECMA arrays, strict arrays
    int16_t p_UTCoffset = 0;
};

// Encoders write at output and return the end of what they wrote, or nullptr when outend is reached.
char* AMF_EncodeString(char* output, char* outend, const AVal* str);
char* AMF_EncodeNumber(char* output, char* outend, double value);
char* AMF_EncodeBoolean(char* output, char* outend, int value);
char* AMF_EncodeNull(char* output, char* outend);
char* AMF_EncodeNamedString(char* output, char* outend, const AVal* name, const AVal* value);
char* AMF_EncodeNamedNumber(char* output, char* outend, const AVal* name, double value);
char* AMF_EncodeNamedBoolean(char* output, char* outend, const AVal* name, int value);
// An object: its properties then the object-end marker.
char* AMF_Encode(const AMFObject* obj, char* output, char* outend);
char* AMFProp_Encode(const AMFObjectProperty* prop, char* output, char* outend);

// Decodes a sequence of values (bDecodeName 0, e.g. a command message body) or the properties of an
// object body (bDecodeName 1). Returns the bytes consumed, or -1 with obj reset.
int AMF_Decode(AMFObject* obj, const char* buffer, int size, int bDecodeName);
// One value (with its name when bDecodeName); returns the bytes consumed or -1.
int AMFProp_Decode(AMFObjectProperty* prop, const char* buffer, int size, int bDecodeName);
void AMF_Reset(AMFObject* obj);

int AMF_CountProp(const AMFObject* obj);
void AMF_AddProp(AMFObject* obj, const AMFObjectProperty* prop);
// By index when index >= 0, else by name; an invalid property (never null) when there is none.
const AMFObjectProperty* AMF_GetProp(const AMFObject* obj, const AVal* name, int index);

void AMFProp_GetName(const AMFObjectProperty* prop, AVal* name);
AMFDataType AMFProp_GetType(const AMFObjectProperty* prop);
double AMFProp_GetNumber(const AMFObjectProperty* prop);
int AMFProp_GetBoolean(const AMFObjectProperty* prop);
// Empty unless the property is a string (short, long or XML).
void AMFProp_GetString(const AMFObjectProperty* prop, AVal* str);
// Empty unless the property is an object or an array.
void AMFProp_GetObject(const AMFObjectProperty* prop, AMFObject* obj);
int AMFProp_IsValid(const AMFObjectProperty* prop);
