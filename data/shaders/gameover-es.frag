#version 300 es

// Texture coordinates run far past 1 on the scrolling road: full precision keeps them exact.
precision highp float;

uniform sampler2D texture0;

in vec3 colour;
in vec2 texCoord;

out vec4 fragColour;

void main() {
    vec4 sampled = texture(texture0, texCoord) * vec4(colour, 1.0);
    // An old-photograph look: mostly grey with a warm tint, a little of the real colour
    // kept and slightly darker, so the title texts stay readable over the frozen scene.
    float grey = dot(sampled.rgb, vec3(0.299, 0.587, 0.114));
    vec3 sepia = grey * vec3(1.0, 0.82, 0.62);
    fragColour = vec4(mix(sepia, sampled.rgb, 0.2) * 0.85, sampled.a);
}
