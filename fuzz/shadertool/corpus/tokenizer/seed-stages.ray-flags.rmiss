uint flags = RAY_FLAGS_OPAQUE | RAY_FLAGS_CULL_BACK_FACING_TRIANGLES;
#if defined(RAY_FLAGS_NONE)
ray flags defined
#endif
