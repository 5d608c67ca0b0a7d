// The ov_ interface; filled in with the SDK spine.
