this is not a shader {{{
