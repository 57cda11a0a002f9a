/*
 * Animation preview for the Species page: plays a species' FBX clips on a grey model.
 * A module of its own so the FBX loader and its libraries are only fetched by the page that
 * needs them.
 */
export {};
