#version 120

uniform sampler2D texture0;

varying vec3 colour;
varying vec2 texCoord;

void main() {
    vec4 sampled = texture2D(texture0, texCoord) * vec4(colour, 1.0);
    // An old-photograph look: mostly grey with a warm tint, a little of the real colour
    // kept and slightly darker, so the title texts stay readable over the frozen scene.
    float grey = dot(sampled.rgb, vec3(0.299, 0.587, 0.114));
    vec3 sepia = grey * vec3(1.0, 0.82, 0.62);
    gl_FragColor = vec4(mix(sepia, sampled.rgb, 0.2) * 0.85, sampled.a);
}
